// The guides in the release zip, as Windows reads them: UTF-8 with a byte-order
// mark and CRLF line ends, naming the four options with exactly the labels the
// module registers, as the host shows them: the module's own code page 932
// bytes, converted by Windows, not a copy of the text. The module is the one
// taken out of the zip (ORBITRIX_PLUGIN), the guides are beside it
// (ORBITRIX_RELEASE).
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/options.h"
#include "sim/host/host.h"
#include "tests/windows/loaded.h"

namespace {

std::string ReadGuide(const char* name) {
  const char* dir = std::getenv("ORBITRIX_RELEASE");
  const std::string path = std::string(dir ? dir : "build/windows/release-unzipped") + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << path << ": cannot be read";
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Text in a code page as UTF-16; fails on bytes that are not valid in it.
std::wstring Convert(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) return L"";
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) {
    ADD_FAILURE() << "not valid in code page " << codePage << ", error " << GetLastError();
    return L"";
  }
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                      w.data(), n);
  return w;
}

// The four labels as the host shows them: the registered records' code page
// 932 bytes, in the order of registration.
std::vector<std::wstring> RegisteredLabels() {
  sim::Host host(LoadedPlugin());
  EXPECT_TRUE(host.Start());
  std::vector<std::wstring> labels;
  for (int i = 0; i < orbitrix::kOptionCount; ++i) {
    const orbitrix::GuiOptionRecord* option = host.option(i);
    if (!option) break;
    labels.push_back(Convert(932, option->label));
  }
  EXPECT_EQ(labels.size(), 4u);
  return labels;
}

// The guide's lines, after checking it is Windows text: a byte-order mark,
// valid UTF-8, and every line ended by CR LF.
std::vector<std::wstring> WindowsTextLines(const std::string& bytes) {
  std::vector<std::wstring> lines;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
    ADD_FAILURE() << "no UTF-8 byte-order mark";
    return lines;
  }
  const std::wstring text = Convert(CP_UTF8, bytes.substr(3));
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      ADD_FAILURE() << "the last line has no CRLF";
      break;
    }
    const std::wstring line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos)
        << "a bare CR or LF in line " << lines.size() + 1;
    lines.push_back(line);
    start = end + 2;
  }
  EXPECT_GT(lines.size(), 20u);
  return lines;
}

// Each label stands on a line of its own, in the order the host shows them.
void ExpectOptionsNamed(const std::vector<std::wstring>& lines) {
  const std::vector<std::wstring> labels = RegisteredLabels();
  size_t after = 0;
  for (size_t i = 0; i < labels.size(); ++i) {
    ASSERT_FALSE(labels[i].empty());
    size_t at = after;
    while (at < lines.size() && lines[at] != labels[i]) ++at;
    EXPECT_LT(at, lines.size()) << "option " << i + 1 << "'s label is not a line of its own "
                                << "after the one before it";
    if (at < lines.size()) after = at + 1;
  }
}

TEST(Guide, JapaneseIsUtf8WithAByteOrderMarkAndCrlf) {
  const std::vector<std::wstring> lines = WindowsTextLines(ReadGuide("README-ja.txt"));
  int kana = 0;
  for (const std::wstring& line : lines)
    for (wchar_t c : line) kana += c >= 0x3041 && c <= 0x30FF;
  EXPECT_GT(kana, 200) << "hiragana and katakana: Japanese text";
}

TEST(Guide, JapaneseNamesTheOptionsWithTheRegisteredLabels) {
  ExpectOptionsNamed(WindowsTextLines(ReadGuide("README-ja.txt")));
}

TEST(Guide, EnglishNamesTheOptionsWithTheRegisteredLabels) {
  ExpectOptionsNamed(WindowsTextLines(ReadGuide("README.txt")));
}

}  // namespace
