#pragma once

#include "imaging/decoders/JxlColour.h"
#include "imaging/decoders/JxlStream.h"

#include <QImage>

#include <atomic>
#include <memory>
#include <optional>

namespace imaging::detail {

// What a walk over a file's headers finds, without decoding a pixel.
struct JxlSurvey {
    JxlBasicInfo info{};
    // Layers as stored: a shown frame may be built from several.
    int layers = 0;
};

// Walks every layer header, refusing a picture or layer over the pixel budget and a header
// claiming more pixels than the file's size could encode. Null also when libjxl is missing or
// the file is damaged before its first frame.
std::optional<JxlSurvey> surveyJxl(const QString& path);

// The picture's size as delivered: libjxl turns it when it applies the orientation.
QSize deliveredSize(const JxlBasicInfo& info, bool upright);

// Reads the frames of a JPEG XL file one at a time as shown (layers blended, zero-length
// frames merged into the next), each decoded straight into the image returned.
class JxlFrameReader {
public:
    // upright: libjxl applies the stored orientation. hdrSignal: a PQ or HLG picture comes as
    // its 16-bit signal (see HdrSignal) rather than as 8-bit SDR.
    JxlFrameReader(const QString& path, bool upright, bool hdrSignal);

    // Surveys the file, then reads its headers up to the first frame. False when the survey
    // refuses it, libjxl is missing or the headers are damaged.
    bool start(const std::atomic<bool>* cancelled = nullptr);
    const JxlSurvey& survey() const { return m_survey; }
    const JxlColour& colour() const { return m_colour; }

    // The next frame, and how long it stays in ticks of the animation. Null after the last frame
    // (failed() false) or when the file is damaged, ends early or the decode is called off.
    QImage nextFrame(quint32* duration = nullptr);
    bool failed() const { return m_failed; }

    // Back to the first frame.
    bool rewind();

private:
    bool handleHeader(JxlDecoderStatus status);
    bool prepareOutput(QImage& image);

    QString m_path;
    bool m_upright;
    bool m_hdrSignal;
    JxlSurvey m_survey;
    JxlColour m_colour;
    std::unique_ptr<JxlStream> m_stream;
    bool m_failed = false;
};

} // namespace imaging::detail
