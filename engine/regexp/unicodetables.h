// The predefined classes "\d", "\s", "\w" (Unicode 11.0) and their complements
// "\D", "\S", "\W", in the class-record layout, lying in the engine's data.
#pragma once

#include "regexp/classrec.h"

enum : uint32_t { tbldigit = 0, tblnotdigit, tblspace, tblnotspace, tblword, tblnotword, tblcount };

// The constant record of one table (tbldigit ... tblnotword).
const classrec& predefclass(uint32_t table);

// The table an escape letter names ('d' 'D' 's' 'S' 'w' 'W'), or tblcount.
uint32_t predefescape(wchar_t letter);
