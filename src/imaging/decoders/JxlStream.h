#pragma once

#include "imaging/decoders/JxlLibrary.h"

#include <QByteArray>
#include <QFile>

#include <atomic>
#include <memory>

namespace imaging::detail {

// One libjxl decoder reading a file from the start, fed in chunks as it asks for them, so that
// a large file is never held whole and a decode can be called off between chunks. Its thread
// pool is bounded by the machine's cores. Only reached once jxlLibrary() has been checked.
class JxlStream {
public:
    // Null when libjxl is missing, the file cannot be opened or the decoder refuses the
    // settings. events are JxlDecoderStatus flags; coalescing gives frames as shown rather
    // than the layers they are built from.
    static std::unique_ptr<JxlStream> open(const QString& path, int events, bool keepOrientation,
                                           bool coalescing = true);
    ~JxlStream();
    JxlStream(const JxlStream&) = delete;
    JxlStream& operator=(const JxlStream&) = delete;

    const JxlLibrary& api() const { return m_api; }
    JxlDecoder* decoder() const { return m_decoder; }
    qint64 fileSize() const { return m_fileSize; }

    // The next event. Input is fed as libjxl asks; a file that ends before libjxl is done, or
    // a decode called off, gives JXL_DEC_ERROR.
    JxlDecoderStatus next();
    bool endedEarly() const { return m_endedEarly; }
    void setCancelFlag(const std::atomic<bool>* cancelled) { m_cancelled = cancelled; }

    // As many threads as help for a picture this large, within the cores.
    void fitThreads(quint64 width, quint64 height);

    // Back to the start of the file, with the same settings and events.
    bool rewind();

private:
    JxlStream(const JxlLibrary& api, const QString& path);
    bool configure();
    bool feed();

    const JxlLibrary& m_api;
    QFile m_file;
    qint64 m_fileSize = 0;
    int m_events = 0;
    bool m_keepOrientation = false;
    bool m_coalescing = true;
    JxlDecoder* m_decoder = nullptr;
    void* m_runner = nullptr;
    // Bytes given to libjxl that it has not consumed yet, then the next chunk.
    QByteArray m_buffer;
    bool m_inputClosed = false;
    bool m_endedEarly = false;
    const std::atomic<bool>* m_cancelled = nullptr;
};

} // namespace imaging::detail
