#include "sim/session/writer.h"

#include "sim/text/text.h"

namespace sim {

namespace {

std::string AttrLine(ViewHandle view, const std::string& key, const Attribute& a) {
  std::string line = Format("attr %u %s \"%s\"", view, key.c_str(), a.value.c_str());
  if (a.sizeAnswer) line.append(Format(" size %d", *a.sizeAnswer));
  if (a.valueAnswer) line.append(Format(" answer %d", *a.valueAnswer));
  if (!a.terminated) line.append(" unterminated");
  return line;
}

}  // namespace

void SessionWriter::View(ViewHandle view, float heading, float pitch) {
  std::string line = Format("view %u", view);
  if (heading != 0 || pitch != 0)
    line.append(Cat({" heading ", Number(heading), " pitch ", Number(pitch)}));
  Line(line);
  views_[view] = {{"UV", Value("0")}, {"Pers", Value("1")}};
}

void SessionWriter::Angles(ViewHandle view, float heading, float pitch) {
  const std::map<std::string, Attribute> kept = views_[view];
  Line(Format("view %u heading %s pitch %s", view, Number(heading).c_str(), Number(pitch).c_str()));
  // "view" put back Pers 1 and UV 0: restore what the view answered.
  for (const char* key : {"Pers", "UV"})
    if (!kept.count(key)) Line(Format("unset %u %s", view, key));
  for (const auto& [key, attribute] : kept) Line(AttrLine(view, key, attribute));
  views_[view] = kept;
}

void SessionWriter::Attr(ViewHandle view, const std::string& key, const Attribute& a) {
  views_[view][key] = a;
  Line(AttrLine(view, key, a));
}

void SessionWriter::Unset(ViewHandle view, const std::string& key) {
  views_[view].erase(key);
  Line(Format("unset %u %s", view, key.c_str()));
}

void SessionWriter::Option(int number, uint32_t value) {
  Line(Format("option %d %u", number, value));
}

void SessionWriter::Ctrl(bool down) { Line(down ? "ctrl down" : "ctrl up"); }

void SessionWriter::Event(const char* event, ViewHandle view, uint32_t buttons) {
  Line(Format("%s %d %d view %u buttons %u", event, x_, y_, view, buttons));
}

}  // namespace sim
