// What opening the store does with the file it finds, as a table of the
// facts found and the plan decided from them.
#include <gtest/gtest.h>

#include "store/open_plan.h"

namespace {

TEST(StoreOpenPlan, DecidesFromTheFactsFound) {
    using F = FileKind;
    using P = Probe;
    using O = OpenPlan;
    struct Case {
        const char* what;
        OpenFacts facts;
        OpenPlan plan;
    } cases[] = {
        {"a new file", {F::Absent, P::Sound, P::NotTried, false}, O::ReadWrite},
        {"a sound store", {F::Database, P::Sound, P::NotTried, false}, O::ReadWrite},
        {"no folder to make it in", {F::Absent, P::Failed, P::NotTried, false}, O::Closed},
        {"a store that takes no writes", {F::Database, P::Failed, P::Sound, false}, O::ReadOnly},
        {"a file marked read-only", {F::Database, P::NotTried, P::Sound, false}, O::ReadOnly},
        {"neither connection reads", {F::Database, P::Failed, P::Failed, false}, O::Closed},
        {"an existing file that will not open", {F::Database, P::Failed, P::NotTried, false}, O::SetAsideAndSalvage},
        {"damage found writable", {F::Database, P::Damaged, P::NotTried, false}, O::SetAsideAndSalvage},
        {"damage found read-only", {F::Database, P::NotTried, P::Damaged, false}, O::SetAsideAndSalvage},
        {"damage found when no writes", {F::Database, P::Failed, P::Damaged, false}, O::SetAsideAndSalvage},
        {"damaged and held", {F::Database, P::Damaged, P::NotTried, true}, O::KeepReadingDamaged},
        {"damaged read-only and held", {F::Database, P::NotTried, P::Damaged, true}, O::KeepReadingDamaged},
        {"no database", {F::NotDatabase, P::NotTried, P::NotTried, false}, O::SetAsideFresh},
        {"no database and held", {F::NotDatabase, P::NotTried, P::NotTried, true}, O::WaitForHeldFile},
        {"no database, whatever a connection said", {F::NotDatabase, P::Sound, P::Sound, false}, O::SetAsideFresh},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int>(decide_open(c.facts)), static_cast<int>(c.plan)) << c.what;
    }
}

}  // namespace
