#pragma once

// The one seam for tests and the benchmark: a class whose inner state they must observe (a
// fade under way, the overlay scroll bars, a countdown) names this struct its friend instead
// of growing public functions that exist only for them. Defined in tests/support/TestAccess.h.
struct TestAccess;
