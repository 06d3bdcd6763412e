// Fixed names of the demo data (pt-BR): branches, dish trees, products, services, cycles.
#pragma once

#include <span>

namespace suite::provision::Internal {

struct DemoBranch {
    const char* code;
    const char* name;
    bool headOffice;
    bool rescinded;
    const char* patterns;  // service patterns it serves, as digits: "24" = Almoço and Jantar
    const char* localTree; // one flag per local dish of demoLocalDishes(): '1' registered
    bool menus;            // has a month of menus
};

struct DemoGrouping {
    const char* code;
    const char* name;
    const char* branches; // branch codes separated by spaces
};

struct DemoDishGroup {
    const char* code; // level-1 (2 digits) or level-2 (4 digits) dish code
    const char* name;
    const char* type;          // TIPOPRAT of its dishes; null for a level-1 group
    const char* dishes;        // level-3 names separated by '|'
    const char* productGroups; // product groups their recipes draw from, main one first
};

struct DemoProductGroup {
    const char* code; // 2 digits
    const char* unit; // default unit; a name may override it with ":UN"
    const char* names;
};

struct DemoCode {
    const char* code;
    const char* name;
};

struct DemoCycle {
    const char* code;
    const char* name;
    int days;
    const char* patterns;
};

std::span<const DemoBranch> demoBranches();
std::span<const DemoGrouping> demoGroupings();
std::span<const DemoCode> demoDishTypes();
std::span<const DemoCode> demoServicePatterns();
std::span<const DemoDishGroup> demoStandardTree();
std::span<const DemoDishGroup> demoLocalTree();
std::span<const DemoProductGroup> demoProducts();
std::span<const DemoCycle> demoCycles();

} // namespace suite::provision::Internal
