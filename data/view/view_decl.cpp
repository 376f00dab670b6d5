// The view declaration as text, and the order's components.
#include <cctype>
#include <cstdio>

#include "data/view/view.h"

namespace pellucor::data::view {
namespace {

std::string Projected(const Projection& p) {
  if (p.Empty()) return {};
  std::string out = "PROJECT(";
  bool first = true;
  char buf[32];
  for (int32_t f : p.fields) {
    std::snprintf(buf, sizeof buf, "%sFIELD(%d)", first ? "" : ",", static_cast<int>(f));
    out += buf;
    first = false;
  }
  for (int32_t m : p.memos) {
    std::snprintf(buf, sizeof buf, "%sMEMO(%d)", first ? "" : ",", static_cast<int>(m));
    out += buf;
    first = false;
  }
  return out + ")";
}

void Line(std::string* out, int depth, const std::string& text) {
  if (text.empty()) return;
  out->append(static_cast<size_t>(depth) * 2, ' ');
  *out += text;
  *out += "\r\n";
}

void FormatJoin(std::string* out, const JoinDecl& j, int depth) {
  std::string head = "JOIN(";
  if (j.key) {
    head += j.key->label;
    for (const LinkField& link : j.links) head += ",FIELD(" + std::to_string(link.field) + ")";
  } else {
    head += j.file ? j.file->label : std::string();
  }
  if (j.kind == JoinKind::kInner) head += ",INNER";
  head += ")";
  Line(out, depth, head);
  Line(out, depth + 1, Projected(j.project));
  for (const JoinDecl& nested : j.joins) FormatJoin(out, nested, depth + 1);
  Line(out, depth, "END");
}

}  // namespace

std::string FormatViewDeclaration(const ViewDecl& decl) {
  std::string out;
  Line(&out, 0, "VIEW(" + (decl.primary ? decl.primary->label : std::string()) + ")");
  Line(&out, 1, Projected(decl.project));
  for (const JoinDecl& j : decl.joins) FormatJoin(&out, j, 1);
  Line(&out, 0, "END");
  return out;
}

std::vector<OrderComponent> KeyOrder(const KeyDecl& key) {
  std::vector<OrderComponent> out;
  for (int32_t c : key.components) {
    OrderComponent o;
    o.file = key.file;
    o.field = c < 0 ? -c : c;
    o.direction = c < 0 ? Direction::kDescending : Direction::kAscending;
    out.push_back(o);
  }
  return out;
}

}  // namespace pellucor::data::view
