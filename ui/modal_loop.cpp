#include "ui/modal_loop.h"

namespace {
int g_depth = 0;
}  // namespace

int modal_loop_depth() { return g_depth; }

ModalLoopScope::ModalLoopScope() noexcept { ++g_depth; }

ModalLoopScope::~ModalLoopScope() { --g_depth; }
