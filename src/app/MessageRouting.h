#pragma once

// Routes Qt's messages: what the image libraries and Qt's image plugins say about a damaged
// file is dropped; anything else is passed to the handler installed before, in debug builds
// only, since the viewer logs nothing. Fatal messages always pass. The C libraries that print
// on stderr themselves (libjxl's failures, dav1d's) are silenced the same way: what is written
// to stderr while a decode is under way on the writing thread goes nowhere.
void installMessageRouting();
