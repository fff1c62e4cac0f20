#include "SlideFixtures.h"

#include "FixtureTools.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>

namespace lumenote::test {

QImage withLowerThirdCaption(QImage frame) {
    QPainter p(&frame);
    p.fillRect(QRect(0, 290, 640, 56), QColor(16, 16, 16));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(24, 326, QStringLiteral("Prof. Ada Lovelace, Analytical Engines"));
    return frame;
}

QImage renderSlide(const SlideSpec& slide, QSize size) {
    QImage img(size, QImage::Format_RGB32);
    const QColor background = slide.dark ? QColor(22, 38, 84) : QColor(250, 249, 244);
    const QColor ink = slide.dark ? QColor(238, 238, 238) : QColor(28, 28, 34);
    img.fill(background);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(ink);
    const double scale = size.height() / 1080.0;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(6, int(slide.titlePixels * scale)));
    font.setBold(true);
    p.setFont(font);
    const int left = int(size.width() * 0.07);
    p.drawText(left, int(size.height() * 0.17), slide.title);
    font.setPixelSize(std::max(6, int(slide.bulletPixels * scale)));
    font.setBold(false);
    p.setFont(font);
    const double pitch = slide.bulletPixels * scale * 1.9;
    for (int i = 0; i < slide.bullets.size(); ++i)
        p.drawText(left + int(size.width() * 0.02), int(size.height() * 0.33 + i * pitch), QStringLiteral("\u2022 ") + slide.bullets[i]);
    return img;
}

bool writeLectureVideo(const QString& path, const QList<VideoPart>& parts, const VideoOptions& options) {
    QTemporaryDir tmp;
    if (!tmp.isValid() || parts.isEmpty()) return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QStringList args;
    QString graph;
    const QString size = QStringLiteral("%1x%2").arg(options.size.width()).arg(options.size.height());
    for (int i = 0; i < parts.size(); ++i) {
        const VideoPart& part = parts[i];
        const QString seconds = QString::number(part.seconds, 'f', 3);
        switch (part.kind) {
        case VideoPart::Kind::Slide: {
            const QString png = tmp.filePath(QStringLiteral("slide%1.png").arg(i));
            const QImage image = part.image.isNull() ? renderSlide(part.slide, options.size) : part.image;
            if (!image.save(png)) return false;
            args << "-loop" << "1" << "-framerate" << QString::number(options.fps) << "-t" << seconds << "-i" << png;
            break;
        }
        case VideoPart::Kind::Footage:
            args << "-f" << "lavfi" << "-t" << seconds << "-i" << part.lavfi;
            break;
        case VideoPart::Kind::Black:
            args << "-f" << "lavfi" << "-t" << seconds << "-i" << QStringLiteral("color=c=black:s=%1").arg(size);
            break;
        }
        graph += QStringLiteral("[%1:v]scale=%2:flags=area,setsar=1,fps=%3,format=yuv420p[v%1];")
                     .arg(i)
                     .arg(QString(size).replace('x', ':'))
                     .arg(options.fps);
    }
    for (int i = 0; i < parts.size(); ++i) graph += QStringLiteral("[v%1]").arg(i);
    graph += QStringLiteral("concat=n=%1:v=1:a=0[out]").arg(parts.size());
    args << "-filter_complex" << graph << "-map" << "[out]" << options.codecArgs << path;
    return ffmpeg(args, 600000);
}

QStringList cameraLikeSources(int fps) {
    const QString r = QString::number(fps);
    return {
        QStringLiteral("mandelbrot=s=640x360:r=%1").arg(r),
        // testsrc2 prints a running timestamp in its top-left corner: cover it.
        QStringLiteral("testsrc2=s=640x360:r=%1,drawbox=x=0:y=0:w=160:h=48:color=gray:t=fill").arg(r),
        QStringLiteral("gradients=s=640x360:r=%1:speed=0.05,noise=alls=24:allf=t").arg(r),
        QStringLiteral("cellauto=s=640x360:r=%1:rule=110:scroll=1").arg(r),
        QStringLiteral("life=s=640x360:r=%1:mold=10:ratio=0.1:death_color=#202020").arg(r),
        QStringLiteral("color=c=gray:s=640x360:r=%1,geq=lum='128+90*sin((X+T*60)/9)*sin(Y/13)':cb=128:cr=128").arg(r),
    };
}

QList<QImage> greyFrames(const QString& input, QSize size, int count, bool lavfi, double fps) {
    QTemporaryDir tmp;
    const QString raw = tmp.filePath(QStringLiteral("frames.gray"));
    QStringList args;
    if (lavfi) args << "-f" << "lavfi";
    args << "-i" << input << "-vf"
         << QStringLiteral("fps=%1,scale=%2:%3:flags=area,format=gray").arg(fps).arg(size.width()).arg(size.height())
         << "-frames:v" << QString::number(count) << "-f" << "rawvideo" << raw;
    QList<QImage> frames;
    if (!ffmpeg(args)) return frames;
    QFile f(raw);
    if (!f.open(QIODevice::ReadOnly)) return frames;
    const QByteArray bytes = f.readAll();
    const qsizetype frameBytes = qsizetype(size.width()) * size.height();
    for (qsizetype off = 0; off + frameBytes <= bytes.size(); off += frameBytes) {
        QImage img(size, QImage::Format_Grayscale8);
        for (int y = 0; y < size.height(); ++y)
            memcpy(img.scanLine(y), bytes.constData() + off + qsizetype(y) * size.width(), size_t(size.width()));
        frames.push_back(img);
    }
    return frames;
}

}  // namespace lumenote::test
