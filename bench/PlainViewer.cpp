// The reference for the window figures: the least a Qt Widgets program does to show a file,
// read with QImageReader and drawn scaled into a 400 x 300 window. It prints the same frame
// trace line as the viewer once its first frame is on screen.
#include <QApplication>
#include <QImageReader>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>
#include <utility>

namespace {

class PlainView : public QWidget {
public:
    explicit PlainView(QImage image) : m_image(std::move(image)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
        painter.drawImage(QRect(QPoint(), fitted), m_image);
        if (std::exchange(m_traced, true))
            return;
        // From the next turn of the event loop: the frame has been flushed by then.
        QTimer::singleShot(0, [] {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "pelu-trace frame 0 %.3f plain\n",
                         double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6);
            std::fflush(stderr);
        });
    }

private:
    QImage m_image;
    bool m_traced = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    PlainView view(argc > 1 ? QImageReader(QString::fromLocal8Bit(argv[1])).read() : QImage());
    view.resize(400, 300);
    view.show();
    return app.exec();
}
