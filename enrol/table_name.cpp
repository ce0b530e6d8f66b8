// enrol/table_name.cpp: the plug-in name checks of enrol/internal/table_name.h.
#include "enrol/internal/table_name.h"

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsIdentifierByte(char c, bool first) {
  return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (!first && c >= '0' && c <= '9');
}

bool StartsWithIgnoringCase(const char* text, const char* prefix) {
  for (; *prefix != 0; ++text, ++prefix)
    if (Lower(*text) != *prefix) return false;
  return true;
}

}  // namespace

bool ZR_EqualsIgnoringCase(const char* a, const char* b) {
  if (a == nullptr) a = "";
  if (b == nullptr) b = "";
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (Lower(*a) != Lower(*b)) return false;
  return *a == *b;
}

bool ZR_IsUsableTableName(const char* name) {
  if (name == nullptr || name[0] == 0) return false;
  for (const char* c = name; *c != 0; ++c)
    if (!IsIdentifierByte(*c, c == name)) return false;
  return !ZR_EqualsIgnoringCase(name, "people") && !ZR_EqualsIgnoringCase(name, "images") &&
         !StartsWithIgnoringCase(name, "sqlite_");
}
