#include "sim/session/session.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "sim/host/desktop.h"
#include "sim/rules/oracle.h"
#include "sim/text/text.h"

namespace sim {

namespace {

struct Token {
  std::string text;
  bool quoted;
};

// Thrown while parsing a line, with what was wrong on it.
struct Bad {
  std::string message;
};

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits a line into words and "quoted texts", up to a # outside quotes.
std::vector<Token> Split(const std::string& line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size() && line[i] != '#') {
    if (Blank(line[i])) {
      ++i;
    } else if (line[i] == '"') {
      const size_t end = line.find('"', i + 1);
      if (end == std::string::npos) throw Bad{"a quoted text has no closing \""};
      tokens.push_back({line.substr(i + 1, end - i - 1), true});
      i = end + 1;
    } else {
      const size_t start = i;
      while (i < line.size() && !Blank(line[i]) && line[i] != '#' && line[i] != '"') ++i;
      tokens.push_back({line.substr(start, i - start), false});
    }
  }
  return tokens;
}

// The words of one line, taken from the front; every take names what it
// wanted, so that a refusal can say so.
class Words {
 public:
  explicit Words(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  bool done() const { return next_ == tokens_.size(); }
  std::string got() const { return done() ? "nothing" : Quote(tokens_[next_].text); }

  // Takes the next word if it is this keyword.
  bool take(const char* keyword) {
    if (done() || tokens_[next_].quoted || tokens_[next_].text != keyword) return false;
    ++next_;
    return true;
  }
  const Token& any(const std::string& what, const std::string& after) {
    if (done()) Refuse(what, after);
    return tokens_[next_++];
  }
  int64_t integer(const std::string& what, const std::string& after, int64_t min, int64_t max) {
    const std::string& t = done() ? "" : tokens_[next_].text;
    const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, hex ? 16 : 10);
    if (t.empty() || *end || errno || v < min || v > max) Refuse(what, after);
    ++next_;
    return v;
  }
  int32_t int32(const std::string& after) {
    return static_cast<int32_t>(integer("a number", after, INT32_MIN, INT32_MAX));
  }
  float angle(const std::string& after) {
    const std::string& t = done() ? "" : tokens_[next_].text;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end) Refuse("a number", after);
    ++next_;
    return static_cast<float>(v);
  }
  [[noreturn]] void Refuse(const std::string& what, const std::string& after) const {
    throw Bad{Cat({"expected ", what, " after ", Quote(after), ", got ", got()})};
  }

 private:
  std::vector<Token> tokens_;
  size_t next_ = 0;
};

const char* const kOptionNames[4] = {"SnapToRightAngles", "SnapOnlyWithCtrl", "LimitPitch",
                                     "TemporaryParallel"};

bool SameWord(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

const struct {
  const char* name;
  Command::Kind kind;
} kCommands[] = {{"view", Command::kView},     {"attr", Command::kAttr},
                 {"unset", Command::kUnset},   {"option", Command::kOption},
                 {"ctrl", Command::kCtrl},     {"press", Command::kPress},
                 {"move", Command::kMove},     {"release", Command::kRelease},
                 {"switch", Command::kSwitch}, {"expect", Command::kExpect}};

// A keyword and how to read what follows it.
struct Field {
  const char* keyword;
  std::function<void()> read;
};

// Reads keyword-led fields, in any order, to the end of the line.
void Fields(Words& w, const std::string& command, std::initializer_list<Field> fields) {
  while (!w.done()) {
    const Field* found = nullptr;
    for (const Field& f : fields)
      if (!found && w.take(f.keyword)) found = &f;
    if (found) {
      found->read();
      continue;
    }
    std::string names;
    for (const Field& f : fields)
      names.append(names.empty() ? "" : &f == fields.end() - 1 ? " or " : ", ").append(f.keyword);
    throw Bad{Cat({"expected ", names, " in ", Quote(command), ", got ", w.got()})};
  }
}

// What the parser knows between lines.
struct Context {
  std::vector<ViewHandle> views;      // defined so far
  std::optional<ViewHandle> current;  // where events go that name no view
};

ViewHandle ViewId(Words& w, Context& cx, const std::string& after, bool define) {
  const auto id = static_cast<ViewHandle>(w.integer("a view number", after, 0, UINT32_MAX));
  bool known = false;
  for (ViewHandle v : cx.views) known = known || v == id;
  if (!known && !define) throw Bad{Cat({"view ", std::to_string(id), " is not defined"})};
  if (!known) cx.views.push_back(id);
  return id;
}

ViewHandle CurrentView(const Context& cx, const std::string& command) {
  if (!cx.current)
    throw Bad{Cat({Quote(command), " needs a view: define one with \"view\" first"})};
  return *cx.current;
}

void ParseLine(Words& w, Context& cx, Command& c) {
  const std::string command = w.any("a command", "").text;
  bool known = false;
  for (const auto& k : kCommands)
    if (command == k.name) c.kind = k.kind, known = true;
  if (!known)
    throw Bad{Cat({"unknown command ", Quote(command),
                   " (expected view, attr, unset, option, ctrl, press, move, release, switch "
                   "or expect)"})};

  switch (c.kind) {
    case Command::kView:
      c.view = ViewId(w, cx, "view", true);
      cx.current = c.view;
      Fields(w, command,
             {{"ortho", [&] { c.ortho = true; }},
              {"uv", [&] { c.uv = true; }},
              {"heading", [&] { c.heading = w.angle("heading"); }},
              {"pitch", [&] { c.pitch = w.angle("pitch"); }}});
      break;
    case Command::kAttr:
      c.view = ViewId(w, cx, "attr", false);
      c.key = w.any("a name", Cat({"attr ", std::to_string(c.view)})).text;
      c.attribute.value = w.any("a value", c.key).text;
      Fields(w, command,
             {{"size", [&] { c.attribute.sizeAnswer = w.int32("size"); }},
              {"answer", [&] { c.attribute.valueAnswer = w.int32("answer"); }},
              {"unterminated", [&] { c.attribute.terminated = false; }}});
      break;
    case Command::kUnset:
      c.view = ViewId(w, cx, "unset", false);
      c.key = w.any("a name", Cat({"unset ", std::to_string(c.view)})).text;
      break;
    case Command::kOption: {
      const std::string name = w.any("an option", "option").text;
      c.option = -1;
      for (int i = 0; i < 4; ++i)
        if (name == std::to_string(i + 1) || SameWord(name, kOptionNames[i])) c.option = i;
      if (c.option < 0)
        throw Bad{
            Cat({"expected an option (1-4, SnapToRightAngles, SnapOnlyWithCtrl, "
                 "LimitPitch or TemporaryParallel), got ",
                 Quote(name)})};
      c.value = static_cast<uint8_t>(w.integer("a value 0-255", name, 0, 255));
      break;
    }
    case Command::kCtrl:
      if (w.take("down"))
        c.down = true;
      else if (!w.take("up"))
        w.Refuse("down or up", "ctrl");
      break;
    case Command::kPress:
    case Command::kMove:
    case Command::kRelease:
      c.x = static_cast<int32_t>(w.integer("a cursor x", command, INT32_MIN, INT32_MAX));
      c.y = static_cast<int32_t>(
          w.integer("a cursor y", Cat({command, " ", std::to_string(c.x)}), INT32_MIN, INT32_MAX));
      Fields(w, command,
             {{"view", [&] { cx.current = ViewId(w, cx, "view", false); }},
              {"buttons", [&] {
                 c.buttons = static_cast<uint32_t>(w.integer("a number", "buttons", 0, UINT32_MAX));
               }}});
      c.view = CurrentView(cx, command);
      break;
    case Command::kSwitch: c.view = CurrentView(cx, command); break;
    case Command::kExpect:
      if (w.take("view")) cx.current = ViewId(w, cx, "view", false);
      c.view = CurrentView(cx, command);
      if (w.done()) w.Refuse("heading, pitch, TempOrtho, result or state", "expect");
      Fields(w, command,
             {{"heading", [&] { c.heading = w.angle("heading"); }},
              {"pitch", [&] { c.pitch = w.angle("pitch"); }},
              {"TempOrtho",
               [&] {
                 const Token& t = w.any("a value or none", "TempOrtho");
                 c.checkTempOrtho = true;
                 if (t.quoted || t.text != "none") c.tempOrtho = t.text;
               }},
              {"result", [&] { c.result = w.int32("result"); }},
              {"state", [&] { c.state = w.int32("state"); }}});
      break;
  }
  if (!w.done()) throw Bad{Cat({"unexpected ", w.got(), " at the end of ", Quote(command)})};
}

std::optional<std::string> TempOrtho(const View& v) {
  auto it = v.attributes.find("TempOrtho");
  if (it == v.attributes.end()) return std::nullopt;
  return it->second.value;
}

std::string Shown(const std::optional<std::string>& s) { return s ? Quote(*s) : "none"; }

std::string Where(const Session& s, int line) {
  return Cat({s.name, ":", std::to_string(line), ": "});
}

}  // namespace

bool ParseSession(const std::string& text, const std::string& name, Session* session,
                  std::string* error) {
  session->name = name;
  session->commands.clear();
  Context cx;
  std::istringstream lines(text);
  std::string raw;
  for (int line = 1; std::getline(lines, raw); ++line) {
    try {
      Words words(Split(raw));
      if (words.done()) continue;
      Command c{};
      c.line = line;
      c.text = raw.substr(0, raw.find('#'));
      c.text.erase(0, c.text.find_first_not_of(" \t"));
      c.text.erase(c.text.find_last_not_of(" \t\r") + 1);
      ParseLine(words, cx, c);
      session->commands.push_back(c);
    } catch (const Bad& bad) {
      *error = Where(*session, line) + bad.message;
      return false;
    }
  }
  return true;
}

std::string CheckScreen(const Session& session, int32_t width, int32_t height) {
  for (const Command& c : session.commands) {
    const bool event =
        c.kind == Command::kPress || c.kind == Command::kMove || c.kind == Command::kRelease;
    if (event && (c.x < 0 || c.y < 0 || c.x >= width || c.y >= height))
      return Cat({Where(session, c.line), "cursor ", std::to_string(c.x), ",", std::to_string(c.y),
                  " is off the ", std::to_string(width), "x", std::to_string(height), " screen"});
  }
  return "";
}

void Send(Host& host, Step& s, unsigned char* context, uint32_t refreshTarget) {
  s.headingBefore = host.view(s.view).heading();
  s.pitchBefore = host.view(s.view).pitch();
  const size_t logged = host.log.size();
  if (s.event == "press") s.result = host.Press(s.view, s.buttons, refreshTarget, context);
  if (s.event == "move") s.result = host.Move(s.view, s.buttons, context);
  if (s.event == "release") s.result = host.Release(s.view, s.buttons, refreshTarget, context);
  if (s.event == "switch") s.result = host.Switch(context);
  const View& after = host.view(s.view);
  s.state = DragState(context);
  s.heading = after.heading(), s.pitch = after.pitch();
  s.tempOrtho = TempOrtho(after);
  for (size_t i = logged; i < host.log.size(); ++i) s.calls.push_back(host.log[i].text);
}

int PlaySession(const Session& session, Host& host, const std::function<void(const Step&)>& sink) {
  bool ctrl = false;
  int32_t lastResult = 0;
  int failed = 0;
  for (const Command& c : session.commands) {
    switch (c.kind) {
      case Command::kView: {
        View& view = host.view(c.view);
        view = View{};
        view.attributes["Pers"].value.assign(1, c.ortho ? '0' : '1');
        view.attributes["UV"].value.assign(1, c.uv ? '1' : '0');
        view.setAngles(c.heading.value_or(0), c.pitch.value_or(0));
        break;
      }
      case Command::kAttr: host.view(c.view).attributes[c.key] = c.attribute; break;
      case Command::kUnset: host.view(c.view).attributes.erase(c.key); break;
      case Command::kOption: host.SetOption(c.option, c.value); break;
      case Command::kCtrl: ctrl = c.down; break;
      case Command::kPress:
      case Command::kMove:
      case Command::kRelease:
      case Command::kSwitch: {
        static const char* const kNames[] = {"press", "move", "release", "switch"};
        Step s;
        s.line = c.line;
        s.event = kNames[c.kind - Command::kPress];
        s.view = c.view;
        s.x = c.x, s.y = c.y, s.buttons = c.buttons, s.ctrl = ctrl;
        SetCtrl(ctrl);
        if (c.kind != Command::kSwitch) SetCursor(c.x, c.y);
        Send(host, s, host.context());
        lastResult = s.result;
        sink(s);
        break;
      }
      case Command::kExpect: {
        const View& view = host.view(c.view);
        Step s;
        s.line = c.line;
        s.event = "expect";
        s.view = c.view;
        s.text = c.text;
        auto check = [&](bool ok, const char* what, const std::string& is,
                         const std::string& want) {
          if (ok) return;
          if (!s.failure.empty()) s.failure.append("; ");
          s.failure.append(what).append(" is ").append(is).append(", expected ").append(want);
        };
        if (c.heading)
          check(SameAngle(view.heading(), *c.heading), "heading", Number(view.heading()),
                Number(*c.heading));
        if (c.pitch)
          check(SameAngle(view.pitch(), *c.pitch), "pitch", Number(view.pitch()), Number(*c.pitch));
        if (c.checkTempOrtho)
          check(TempOrtho(view) == c.tempOrtho, "TempOrtho", Shown(TempOrtho(view)),
                Shown(c.tempOrtho));
        if (c.result)
          check(lastResult == *c.result, "result", std::to_string(lastResult),
                std::to_string(*c.result));
        if (c.state)
          check(host.dragState() == *c.state, "state", std::to_string(host.dragState()),
                std::to_string(*c.state));
        if (!s.failure.empty()) ++failed;
        sink(s);
        break;
      }
    }
  }
  return failed;
}

}  // namespace sim
