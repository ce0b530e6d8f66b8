// enrol/internal/table_name.h: checks on plug-in names, which become gallery table names pasted
// into SQL unquoted: only plain identifiers that name no table of the gallery's own.
#ifndef ENROL_INTERNAL_TABLE_NAME_H
#define ENROL_INTERNAL_TABLE_NAME_H

// True for [A-Za-z_][A-Za-z0-9_]* that is not "people" or "images" in any case and does not start
// with "sqlite_" in any case (SQLite's own tables). Null is refused.
bool ZR_IsUsableTableName(const char* name);

// ASCII case-insensitive equality, as SQLite compares table names. Null counts as empty.
bool ZR_EqualsIgnoringCase(const char* a, const char* b);

#endif  // ENROL_INTERNAL_TABLE_NAME_H
