// The case tables of switch statements.
#pragma once

#include <cstdint>

// One case of a switch: the case value and its target, relative to the unit.
struct caseentry {
    int32_t value;
    int32_t target;
};

// The case table of one switch statement.
struct looprec {
    caseentry* cases;   // 64 entries first (id 371), 64 more when full (id 390)
    caseentry* cursor;  // next free entry
    int32_t capacity;
    int32_t allocid;
    int32_t defaulttarget;  // 0: no default
    int32_t endtarget;
};
