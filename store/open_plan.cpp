#include "store/open_plan.h"

OpenPlan decide_open(const OpenFacts& facts) {
    if (facts.file == FileKind::NotDatabase) {
        return facts.held ? OpenPlan::WaitForHeldFile : OpenPlan::SetAsideFresh;
    }
    if (facts.read_write == Probe::Sound) {
        return OpenPlan::ReadWrite;
    }
    // An existing file that will not even open is treated as damaged.
    const bool damaged = facts.read_write == Probe::Damaged || facts.read_only == Probe::Damaged ||
                         (facts.file == FileKind::Database && facts.read_write == Probe::Failed &&
                          facts.read_only == Probe::NotTried);
    if (damaged) {
        return facts.held ? OpenPlan::KeepReadingDamaged : OpenPlan::SetAsideAndSalvage;
    }
    if (facts.read_only == Probe::Sound) {
        return OpenPlan::ReadOnly;
    }
    return OpenPlan::Closed;
}
