#pragma once
// The millisecond clock behind elapsed-time displays and animations, replaceable so tests
// can step time instead of waiting for it. The value wraps like the system tick count.
#include <cstdint>
#include <functional>

using TTickSource = std::function<uint32_t()>;
// Installs a clock (empty: the steady system clock) and returns the one it replaces.
TTickSource SetTickSource(TTickSource source);
uint32_t TickCount();
