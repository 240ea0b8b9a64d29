#include "ViewerProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

namespace bench {

namespace {

QByteArray g_viewerPlatform;

} // namespace

void rememberViewerPlatform(const QByteArray& platform)
{
    g_viewerPlatform = platform;
}

double programMs(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const double start = monotonicMs();
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return -1;
    return monotonicMs() - start;
}

ViewerProcess::ViewerProcess(const Settings& settings, const QString& file, const QString& home)
{
    const QString root = home.isEmpty() ? m_home.path() : home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PELU_TRACE_FRAMES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    if (g_viewerPlatform.isEmpty())
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    else
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                           QString::fromLocal8Bit(g_viewerPlatform));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setReadChannel(QProcess::StandardError);
    QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] { readTrace(); });
    m_viewer = settings.viewer;
    m_startMono = monotonicMs();
    m_process.start(settings.viewer, {file});
}

double ViewerProcess::handOver(const QString& file)
{
    QProcess second;
    second.setProcessEnvironment(m_process.processEnvironment());
    second.setStandardOutputFile(QProcess::nullDevice());
    second.setStandardErrorFile(QProcess::nullDevice());
    second.start(m_viewer, {file});
    if (!second.waitForFinished(30000) || second.exitCode() != 0)
        return -1;
    return monotonicMs();
}

ViewerProcess::~ViewerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ViewerProcess::readTrace()
{
    m_pending += m_process.readAllStandardError();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_pending.left(end));
        m_pending.remove(0, end + 1);
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() < 4 || parts[0] != QLatin1String("pelu-trace"))
            continue;
        m_lines.push_back({parts[1], parts[3].toDouble(), parts.mid(4).join(QLatin1Char(' '))});
    }
}

std::optional<TraceLine> ViewerProcess::waitFor(const std::function<bool(const TraceLine&)>& wanted,
                                                int timeoutMs, size_t from)
{
    const double deadline = monotonicMs() + timeoutMs;
    while (true) {
        for (size_t i = from; i < m_lines.size(); ++i) {
            if (wanted(m_lines[i]))
                return m_lines[i];
        }
        from = std::max(from, m_lines.size());
        if (monotonicMs() > deadline || m_process.state() == QProcess::NotRunning)
            return std::nullopt;
        m_process.waitForReadyRead(5);
        QCoreApplication::processEvents();
    }
}

std::optional<TraceLine> ViewerProcess::waitForEvent(const QString& event, int timeoutMs,
                                                     size_t from)
{
    return waitFor([&event](const TraceLine& line) { return line.event == event; }, timeoutMs,
                   from);
}

void ViewerProcess::runFor(int milliseconds)
{
    waitFor([](const TraceLine&) { return false; }, milliseconds, m_lines.size());
}

double ViewerProcess::peakRssMb() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

bool ViewerProcess::placeWindow(int width, int height)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--sync"),
                  QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                  QString::number(m_process.processId())});
    if (!search.waitForFinished(10000))
        return false;
    const QString window = QString::fromLatin1(search.readAllStandardOutput()).split('\n').first();
    if (window.isEmpty())
        return false;
    QProcess place;
    place.start(QStringLiteral("xdotool"),
                {QStringLiteral("windowsize"), window, QString::number(width),
                 QString::number(height), QStringLiteral("windowmove"), window, QStringLiteral("0"),
                 QStringLiteral("0"), QStringLiteral("windowfocus"), window});
    return place.waitForFinished(10000) && place.exitCode() == 0;
}

Keyboard::Keyboard()
{
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("xdotool"), {QStringLiteral("-")});
    m_process.waitForStarted(5000);
}

Keyboard::~Keyboard()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
}

double Keyboard::send(const QString& command)
{
    m_process.write((command + QLatin1Char('\n')).toLocal8Bit());
    m_process.waitForBytesWritten(1000);
    return monotonicMs();
}

} // namespace bench
