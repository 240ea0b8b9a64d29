#pragma once

// Routes Qt's messages: what the image libraries and Qt's image plugins say about a damaged
// file is dropped; anything else is passed to the handler installed before, in debug builds
// only, since the viewer logs nothing. Fatal messages always pass.
void installMessageRouting();
