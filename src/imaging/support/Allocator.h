#pragma once

namespace imaging {

// Sets the process's allocator to keep memory it has freed, up to a bound, for the next
// allocation instead of handing it back to the system at once. On virtual machines first
// touching a page can cost microseconds, so a folder listed again would otherwise pay for
// every page afresh. Large blocks go back at once. Called first thing in main.
void keepFreedMemory();

} // namespace imaging
