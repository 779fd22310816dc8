#pragma once
// Reads an MPEG file back with libavformat/libavcodec: how many pictures it
// decodes to, their size, and the stream's duration.

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
    const QByteArray file = QFile::encodeName(path);
    if (avformat_open_input(&fc, file.constData(), nullptr, nullptr) < 0)
        return r;
    r.format = QString::fromLatin1(fc->iformat->name);
    const int vs = avformat_find_stream_info(fc, nullptr) >= 0
                       ? av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                       : -1;
    if (vs < 0) {
        avformat_close_input(&fc);
        return r;
    }
    AVStream* st = fc->streams[vs];
    r.codec = st->codecpar->codec_id;
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* cc = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(cc, st->codecpar);
    if (avcodec_open2(cc, codec, nullptr) < 0) {
        avcodec_free_context(&cc);
        avformat_close_input(&fc);
        return r;
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE;
    auto take = [&] {
        while (avcodec_receive_frame(cc, frame) == 0) {
            ++r.frames;
            r.width = frame->width;
            r.height = frame->height;
            const int64_t t = frame->best_effort_timestamp;
            if (t != AV_NOPTS_VALUE) {
                if (first == AV_NOPTS_VALUE || t < first)
                    first = t;
                if (last == AV_NOPTS_VALUE || t > last)
                    last = t;
            }
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
        r.durationSeconds = (last - first) * av_q2d(st->time_base) + 1.0 / av_q2d(st->avg_frame_rate);
    r.ok = true;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&cc);
    avformat_close_input(&fc);
    return r;
}

} // namespace bc::test
