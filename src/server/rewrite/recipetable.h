// RecipeTable: a kind of recipe and the work tables a run gives it; what a run of it rewrites and what it changed.
#pragma once

#include "recipekind.h"

namespace suite::server {

struct RecipeTable {
    RecipeKind kind;
    const char* chosen;     // destination recipes to replace: CDFILIAL, [CDSERVFILI,] TREE, CDPRATO, DSTTREE
    const char* source;     // the source's lines of the listed dishes
    const char* reshaped;   // chosen recipes whose line numbers differ from the source's (PostgreSQL)
    const char* signatures; // the source's recipes in the form a destination recipe is compared in, and its digest
    const char* rewritten;  // the chosen recipes that differ, when some do not (shaped as `chosen`)
    const char* compared;   // the chosen recipes whose digest does not match (shaped as `chosen`)
};

// Which chosen recipes a run rewrites.
enum class Rewrite {
    Differing, // only those whose lines differ from the source's; the others are left as they are
    Every,     // every one, equal or not
};

struct RecipeChanges {
    int replaced = 0;  // destination lines the source's overwrote or removed
    int written = 0;   // source lines written to the destinations
    int rewritten = 0; // recipes rewritten (each has a before-image)
    int equal = 0;     // recipes already equal to the source's, left untouched
};

} // namespace suite::server
