#include "imaging/decoders/JxlStream.h"

#include "imaging/support/DecodeScope.h"
#include "imaging/support/DecodeSupport.h"

#include <QThread>

#include <algorithm>

namespace imaging::detail {

namespace {
// Large enough that libjxl rarely stops for input mid-section; a section larger than this is
// met by doubling the next read.
constexpr qint64 kChunk = qint64(1) << 20;

// libjxl's work as its runner is handed it.
struct Work {
    void* opaque;
    JxlParallelRunInit init;
    JxlParallelRunFunction run;
};

// libjxl's own runner, each piece of work inside a DecodeScope on the thread that does it: what
// libjxl prints there about a damaged file is then dropped like what it prints on the caller's.
JxlParallelRetCode runScoped(void* runner, void* opaque, JxlParallelRunInit init,
                             JxlParallelRunFunction run, uint32_t start, uint32_t end)
{
    Work work{opaque, init, run};
    return jxlThreadsLibrary()->JxlResizableParallelRunner(
        runner, &work,
        [](void* w, size_t threads) {
            const auto* work = static_cast<const Work*>(w);
            return work->init(work->opaque, threads);
        },
        [](void* w, uint32_t value, size_t thread) {
            const DecodeScope scope;
            const auto* work = static_cast<const Work*>(w);
            work->run(work->opaque, value, thread);
        },
        start, end);
}

} // namespace

JxlStream::JxlStream(const JxlLibrary& api, const QString& path) : m_api(api), m_file(path) {}

std::unique_ptr<JxlStream> JxlStream::open(const QString& path, int events, bool keepOrientation,
                                           bool coalescing)
{
    ensureLibrariesReady();
    const JxlLibrary* api = jxlLibrary();
    if (!api)
        return nullptr;
    std::unique_ptr<JxlStream> stream(new JxlStream(*api, path));
    stream->m_events = events;
    stream->m_keepOrientation = keepOrientation;
    stream->m_coalescing = coalescing;
    if (!stream->m_file.open(QIODevice::ReadOnly) || stream->m_file.isSequential())
        return nullptr;
    stream->m_fileSize = stream->m_file.size();
    stream->m_decoder = api->JxlDecoderCreate(nullptr);
    if (!stream->m_decoder)
        return nullptr;
    if (const JxlThreadsLibrary* threads = jxlThreadsLibrary())
        stream->m_runner = threads->JxlResizableParallelRunnerCreate(nullptr);
    return stream->configure() ? std::move(stream) : nullptr;
}

// libjxl 0.7 forgets the subscribed events on a rewind, though it says it keeps them: the
// settings are all given again then.
bool JxlStream::configure()
{
    JxlDecoder* decoder = m_decoder;
    if (m_api.JxlDecoderSubscribeEvents(decoder, m_events) != JXL_DEC_SUCCESS ||
        m_api.JxlDecoderSetKeepOrientation(decoder, m_keepOrientation) != JXL_DEC_SUCCESS ||
        m_api.JxlDecoderSetCoalescing(decoder, m_coalescing) != JXL_DEC_SUCCESS ||
        m_api.JxlDecoderSetUnpremultiplyAlpha(decoder, JXL_TRUE) != JXL_DEC_SUCCESS)
        return false;
    return !m_runner ||
           m_api.JxlDecoderSetParallelRunner(decoder, runScoped, m_runner) == JXL_DEC_SUCCESS;
}

JxlStream::~JxlStream()
{
    // The decoder first: it may still hold the runner.
    if (m_decoder)
        m_api.JxlDecoderDestroy(m_decoder);
    if (m_runner)
        jxlThreadsLibrary()->JxlResizableParallelRunnerDestroy(m_runner);
}

void JxlStream::fitThreads(quint64 width, quint64 height)
{
    if (!m_runner)
        return;
    const JxlThreadsLibrary& threads = *jxlThreadsLibrary();
    const quint32 suggested = threads.JxlResizableParallelRunnerSuggestThreads(width, height);
    const quint32 cores = quint32(std::max(QThread::idealThreadCount(), 1));
    threads.JxlResizableParallelRunnerSetThreads(m_runner, std::clamp(suggested, 1u, cores));
}

JxlDecoderStatus JxlStream::next()
{
    for (;;) {
        const JxlDecoderStatus status = m_api.JxlDecoderProcessInput(m_decoder);
        if (status != JXL_DEC_NEED_MORE_INPUT)
            return status;
        if (!feed())
            return JXL_DEC_ERROR;
    }
}

bool JxlStream::feed()
{
    if (m_cancelled && m_cancelled->load(std::memory_order_relaxed))
        return false;
    if (m_inputClosed) {
        // Everything was given and libjxl still wants more.
        m_endedEarly = true;
        return false;
    }
    const size_t unused = m_api.JxlDecoderReleaseInput(m_decoder);
    if (unused > size_t(m_buffer.size()))
        return false;
    m_buffer.remove(0, m_buffer.size() - qsizetype(unused));
    // Doubles while libjxl waits for a section larger than what it has.
    const qint64 wanted = std::min(std::max(kChunk, qint64(m_buffer.size())),
                                   std::max<qint64>(m_fileSize - m_file.pos(), 0));
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + qsizetype(wanted));
    const qint64 read = wanted > 0 ? m_file.read(m_buffer.data() + kept, wanted) : 0;
    if (read < 0)
        return false;
    m_buffer.resize(kept + qsizetype(read));
    const auto* bytes = reinterpret_cast<const uint8_t*>(m_buffer.constData());
    if (m_api.JxlDecoderSetInput(m_decoder, bytes, size_t(m_buffer.size())) != JXL_DEC_SUCCESS)
        return false;
    // A file shrunk under us ends here too.
    if (read < wanted || m_file.pos() >= m_fileSize) {
        m_api.JxlDecoderCloseInput(m_decoder);
        m_inputClosed = true;
    }
    return true;
}

bool JxlStream::rewind()
{
    m_api.JxlDecoderReleaseInput(m_decoder);
    m_api.JxlDecoderRewind(m_decoder);
    m_buffer.clear();
    m_inputClosed = false;
    m_endedEarly = false;
    return configure() && m_file.seek(0);
}

} // namespace imaging::detail
