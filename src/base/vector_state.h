// SPDX-License-Identifier: MIT
#pragma once

/// Clears the upper halves of the AVX registers where the processor has them. Something in a
/// process with Qt loaded (seen in the benchmarks) leaves them dirty; then every call from this
/// program's SSE code into libm's AVX log, exp and pow pays two state transitions, some thirty
/// times the cost of the call itself. Called before a loop of such calls.
void clearUpperVectorState();
