#pragma once
// Reads an MPEG file back with libavformat/libavcodec: how many pictures it
// decodes to, their size, the container and codec, and the stream's duration.

#include <QFile>
#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace bc::test {

struct DecodedMpeg {
    bool ok = false;
    int frames = 0;
    int width = 0;
    int height = 0;
    double durationSeconds = 0; // from the first to past the last picture
    QString format;
    AVCodecID codec = AV_CODEC_ID_NONE;
};

inline DecodedMpeg decodeMpeg(const QString& path)
{
    DecodedMpeg r;
    AVFormatContext* fc = nullptr;
    AVCodecContext* cc = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const QByteArray file = QFile::encodeName(path);
    int vs = -1;
    if (avformat_open_input(&fc, file.constData(), nullptr, nullptr) >= 0 &&
        avformat_find_stream_info(fc, nullptr) >= 0)
        vs = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVStream* st = vs >= 0 ? fc->streams[vs] : nullptr;
    const AVCodec* codec = st ? avcodec_find_decoder(st->codecpar->codec_id) : nullptr;
    cc = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (cc && avcodec_parameters_to_context(cc, st->codecpar) >= 0 &&
        avcodec_open2(cc, codec, nullptr) >= 0) {
        r.format = QString::fromLatin1(fc->iformat->name);
        r.codec = st->codecpar->codec_id;
        int64_t first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE;
        auto take = [&] {
            while (avcodec_receive_frame(cc, frame) == 0) {
                ++r.frames;
                r.width = frame->width;
                r.height = frame->height;
                const int64_t t = frame->best_effort_timestamp;
                if (t != AV_NOPTS_VALUE && (first == AV_NOPTS_VALUE || t < first))
                    first = t;
                if (t != AV_NOPTS_VALUE && (last == AV_NOPTS_VALUE || t > last))
                    last = t;
            }
        };
        while (av_read_frame(fc, pkt) >= 0) {
            if (pkt->stream_index == vs && avcodec_send_packet(cc, pkt) >= 0)
                take();
            av_packet_unref(pkt);
        }
        avcodec_send_packet(cc, nullptr);
        take();
        if (first != AV_NOPTS_VALUE && st->avg_frame_rate.num > 0)
            r.durationSeconds =
                (last - first) * av_q2d(st->time_base) + 1.0 / av_q2d(st->avg_frame_rate);
        r.ok = true;
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&cc);
    avformat_close_input(&fc);
    return r;
}

} // namespace bc::test
