#pragma once

class QThreadPool;

namespace base {

// The threads for long background work: decoding and scaling images. Not Qt's global pool:
// the painter splits smooth scaling and image conversions into pieces on that one and waits
// for them, so a decode queued there would hold up the user-interface thread. Like the global
// pool, it is waited for when the application object goes.
QThreadPool& workPool();

// Decoding the neighbours ahead: threads of their own, at a lower priority (see
// imaging::Yield), so that scaling for the window never queues behind a decode.
QThreadPool& preloadPool();

} // namespace base
