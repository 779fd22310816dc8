#include "acquisition/mpeg_encoder.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace bc {

struct CMpegEncoder::Impl {
    AVFormatContext* oc = nullptr;
    AVCodecContext* cc = nullptr;
    AVStream* st = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;
    SwsContext* sws = nullptr;
    int64_t next = 0;
    bool headerWritten = false;
    bool failed = false;
    int errorNumber = 0; // the system's errno of the first failed write

    // Keeps the system error behind a failed call (libav's codes for
    // system errors are the negated errno).
    bool keep(int result)
    {
        if (result < 0 && errorNumber == 0 && -result < 4096)
            errorNumber = -result;
        if (result >= 0 && errorNumber == 0 && oc && oc->pb && oc->pb->error < 0 &&
            -oc->pb->error < 4096)
            errorNumber = -oc->pb->error;
        return result >= 0;
    }

    bool drain(bool flushing)
    {
        for (;;) {
            const int r = avcodec_receive_packet(cc, pkt);
            if (r == AVERROR(EAGAIN) || (flushing && r == AVERROR_EOF))
                return true;
            if (r < 0)
                return false;
            av_packet_rescale_ts(pkt, cc->time_base, st->time_base);
            pkt->stream_index = st->index;
            if (!keep(av_interleaved_write_frame(oc, pkt)))
                return false; // the packet is unreferenced by the muxer
        }
    }

    void release()
    {
        if (oc && !(oc->oformat->flags & AVFMT_NOFILE) && oc->pb)
            avio_closep(&oc->pb);
        avformat_free_context(oc);
        oc = nullptr;
        st = nullptr;
        avcodec_free_context(&cc);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        sws_freeContext(sws);
        sws = nullptr;
        headerWritten = false;
    }
};

CMpegEncoder::CMpegEncoder() : d(std::make_unique<Impl>()) {}

CMpegEncoder::~CMpegEncoder() { finish(); }

bool CMpegEncoder::isOpen() const { return d->oc != nullptr; }

int64_t CMpegEncoder::framesEncoded() const { return d->next; }

int CMpegEncoder::writeErrorNumber() const { return d->errorNumber; }

bool CMpegEncoder::open(const QString& path, const EncoderProfile& p, QString* error)
{
    finish();
    d->next = 0;
    d->failed = false;
    d->errorNumber = 0;
    auto fail = [&](const char* what) {
        if (error)
            *error = QString::fromLatin1(what);
        d->release();
        return false;
    };
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)quiet;

    const QByteArray file = QFile::encodeName(path);
    if (avformat_alloc_output_context2(&d->oc, nullptr, p.muxer, file.constData()) < 0 || !d->oc)
        return fail("no such multiplexer");
    const AVCodec* codec =
        avcodec_find_encoder(p.mpeg1 ? AV_CODEC_ID_MPEG1VIDEO : AV_CODEC_ID_MPEG2VIDEO);
    if (!codec)
        return fail("no MPEG video encoder");
    d->st = avformat_new_stream(d->oc, nullptr);
    d->cc = avcodec_alloc_context3(codec);
    d->frame = av_frame_alloc();
    d->pkt = av_packet_alloc();
    if (!d->st || !d->cc || !d->frame || !d->pkt)
        return fail("out of memory");

    AVCodecContext* cc = d->cc;
    cc->width = p.width;
    cc->height = p.height;
    cc->pix_fmt = AV_PIX_FMT_YUV420P;
    cc->time_base = AVRational{p.frameRateDen, p.frameRateNum};
    cc->framerate = AVRational{p.frameRateNum, p.frameRateDen};
    cc->gop_size = p.gopSize;
    cc->max_b_frames = 2;
    cc->bit_rate = p.bitrate;
    cc->rc_max_rate = p.maxRate;
    cc->rc_min_rate = p.minRate;
    cc->rc_buffer_size = p.bufferSize;
    if (p.bufferSize > 0)
        cc->rc_initial_buffer_occupancy = p.bufferSize * 3 / 4;
    // A 4:3 picture whatever the stored width.
    cc->sample_aspect_ratio = av_div_q(AVRational{4, 3}, AVRational{p.width, p.height});
    // One thread: the preview needs the other core.
    cc->thread_count = 1;
    if (d->oc->oformat->flags & AVFMT_GLOBALHEADER)
        cc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(cc, codec, nullptr) < 0)
        return fail("the encoder refused the profile");
    if (avcodec_parameters_from_context(d->st->codecpar, cc) < 0)
        return fail("the encoder refused the profile");
    d->st->time_base = cc->time_base;
    d->st->sample_aspect_ratio = cc->sample_aspect_ratio;
    // The multiplexer sizes its rate from the encoder's buffer properties.
    for (int i = 0; i < cc->nb_coded_side_data; ++i) {
        const AVPacketSideData& sd = cc->coded_side_data[i];
        uint8_t* copy = av_stream_new_side_data(d->st, sd.type, sd.size);
        if (copy)
            memcpy(copy, sd.data, sd.size);
    }

    d->frame->format = cc->pix_fmt;
    d->frame->width = cc->width;
    d->frame->height = cc->height;
    if (av_frame_get_buffer(d->frame, 0) < 0)
        return fail("out of memory");

    if (avio_open(&d->oc->pb, file.constData(), AVIO_FLAG_WRITE) < 0)
        return fail("the file cannot be created");
    // The multiplexer may hold pictures up to 0.7 s ahead of the clock; a VCD
    // stream's first pictures wait for the two packs it begins with.
    d->oc->max_delay = 700000;
    AVDictionary* opts = nullptr;
    if (p.bitstream == EncoderProfile::Vcd)
        av_dict_set(&opts, "preload", "440000", 0);
    const int r = avformat_write_header(d->oc, &opts);
    av_dict_free(&opts);
    if (r < 0)
        return fail("the stream header cannot be written");
    d->headerWritten = true;
    return true;
}

bool CMpegEncoder::addFrame(const uint8_t* bgr, int width, int height, int stride)
{
    if (!d->oc || d->failed || !bgr || width <= 0 || height <= 0 || stride < width * 3)
        return false;
    d->sws = sws_getCachedContext(d->sws, width, height, AV_PIX_FMT_BGR24, d->cc->width,
                                  d->cc->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                  nullptr, nullptr);
    if (!d->sws || av_frame_make_writable(d->frame) < 0)
        return false;
    const uint8_t* src[1] = {bgr};
    const int srcStride[1] = {stride};
    sws_scale(d->sws, src, srcStride, 0, height, d->frame->data, d->frame->linesize);
    d->frame->pts = d->next;
    if (avcodec_send_frame(d->cc, d->frame) < 0 || !d->drain(false)) {
        d->failed = true;
        return false;
    }
    ++d->next;
    return true;
}

bool CMpegEncoder::finish()
{
    if (!d->oc)
        return true;
    bool ok = !d->failed;
    if (d->headerWritten) {
        if (avcodec_send_frame(d->cc, nullptr) < 0 || !d->drain(true))
            ok = false;
        if (!d->keep(av_write_trailer(d->oc)))
            ok = false;
    }
    if (d->oc->pb && !d->keep(avio_closep(&d->oc->pb)))
        ok = false;
    d->release();
    return ok;
}

} // namespace bc
