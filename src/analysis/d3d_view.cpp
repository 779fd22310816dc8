#include "analysis/d3d_view.h"

#include "platform/prompter.h"
#include "platform/save_name.h"
#include "ui/memory_dc.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QSurfaceFormat>

#include <cmath>

namespace bc {

namespace {

// The page texture keeps its colours as they are; the text is plain black.
const char* const kTextureVertex = R"(
attribute vec3 position;
attribute vec2 texCoord;
uniform mat4 mvp;
varying vec2 uv;
void main() { uv = texCoord; gl_Position = mvp * vec4(position, 1.0); }
)";
const char* const kTextureFragment = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D tex;
varying vec2 uv;
void main() { gl_FragColor = vec4(texture2D(tex, uv).rgb, 1.0); }
)";
const char* const kTextVertex = R"(
attribute vec2 corner;
uniform mat4 mvp;
uniform vec4 rect;
varying vec2 uv;
void main()
{
    uv = vec2(corner.x, 1.0 - corner.y);
    gl_Position = mvp * vec4(rect.xy + corner * rect.zw, 0.0, 1.0);
}
)";
const char* const kTextFragment = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D tex;
varying vec2 uv;
void main()
{
    if (texture2D(tex, uv).a < 0.25)
        discard;
    gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
}
)";

constexpr int kTextPixels = 64; // the em of the rendered text, in texels

QCursor magnifierCursor(bool plus)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(2, 2, 16, 16));
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(QPointF(16, 16), QPointF(27, 27));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(6, 10), QPointF(14, 10));
    if (plus)
        p.drawLine(QPointF(10, 6), QPointF(10, 14));
    return QCursor(pixmap, 10, 10);
}

} // namespace

CD3DView::CD3DView(QWidget* parent)
    : QOpenGLWidget(parent), zoomInCursor_(magnifierCursor(true)),
      zoomOutCursor_(magnifierCursor(false))
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    setFormat(format);
    setFocusPolicy(Qt::StrongFocus);
}

CD3DView::~CD3DView()
{
    if (!context())
        return;
    makeCurrent();
    releaseSceneObjects();
    if (cylinderBuffer_)
        glDeleteBuffers(1, &cylinderBuffer_);
    if (quadBuffer_)
        glDeleteBuffers(1, &quadBuffer_);
    textureProgram_.reset();
    textProgram_.reset();
    doneCurrent();
}

bool CD3DView::glAvailable()
{
    static const bool available = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            return false;
        QOffscreenSurface surface;
        surface.create();
        QOpenGLContext context;
        if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface))
            return false;
        context.doneCurrent();
        return true;
    }();
    return available;
}

void CD3DView::setInput(const CylinderInput& input)
{
    int marks = input.markCount;
    if (marks <= 0)
        marks = int(input.labels.size()) * 5;
    scene_.setCylinder(input.radius, input.height, marks, input.labels);
    textureImage_ = input.texture.isNull() ? QImageReader(input.texturePath).read() : input.texture;
    sceneDirty_ = true;
    update();
}

void CD3DView::DoViewCommand(int command)
{
    if (scene_.doViewCommand(command)) {
        followCursor();
        update();
    }
}

void CD3DView::autoRotate(bool forward, bool backward)
{
    if (scene_.autoTick(forward, backward))
        update();
}

void CD3DView::OnExportBmp()
{
    const QString name = askSaveName(this, QString(), QString(), QStringLiteral("BMP Files (*.BMP *.bmp)"),
                                     [](const QString& chosen) {
                                         return QFileInfo(chosen).suffix().isEmpty()
                                                    ? chosen + QStringLiteral(".BMP")
                                                    : chosen;
                                     });
    if (name.isEmpty())
        return;
    // The scene is drawn once more for the copy.
    const QImage shown = grabFramebuffer();
    CMemoryDC dc(24, name, size());
    if (!dc.IsValid() || shown.isNull()) {
        messageBox(QStringLiteral("内存不足!"), QStringLiteral("出错"), MB_OK | MB_ICONERROR, this);
        return;
    }
    dc.Painter().drawImage(QRect(QPoint(0, 0), size()), shown);
    ErrorReport error;
    if (dc.SaveAsBmp(name, &error) != 1)
        messageBox(error.text, error.caption, error.style, this);
}

void CD3DView::initializeGL()
{
    initializeOpenGLFunctions();
    buildPrograms();
    glGenBuffers(1, &cylinderBuffer_);
    glGenBuffers(1, &quadBuffer_);
    const float corners[] = {0, 0, 1, 0, 0, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer_);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    ready_ = textureProgram_ && textProgram_;
    sceneDirty_ = true;
}

void CD3DView::buildPrograms()
{
    auto build = [this](const char* vertex, const char* fragment,
                        std::initializer_list<const char*> attributes) {
        auto program = std::make_unique<QOpenGLShaderProgram>();
        program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex);
        program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment);
        int location = 0;
        for (const char* name : attributes)
            program->bindAttributeLocation(name, location++);
        if (!program->link())
            program.reset();
        return program;
    };
    textureProgram_ = build(kTextureVertex, kTextureFragment, {"position", "texCoord"});
    textProgram_ = build(kTextVertex, kTextFragment, {"corner"});
}

unsigned CD3DView::uploadImage(const QImage& image, bool repeat)
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (largest > 0 && (rgba.width() > largest || rgba.height() > largest))
        rgba = rgba.scaled(std::min(rgba.width(), int(largest)),
                           std::min(rgba.height(), int(largest)), Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    if (rgba.isNull())
        return 0;
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    // Text is drawn far smaller than it is rendered: its strokes survive only
    // in the averaged smaller levels.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    repeat ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Row 0 (the picture's top) becomes t = 0.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rgba.width(), rgba.height(), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.constBits());
    if (!repeat)
        glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

CD3DView::TextQuad CD3DView::makeText(const QString& text)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(kTextPixels);
    font.setWeight(QFont::Normal);
    const QFontMetricsF metrics(font);
    const int w = int(std::ceil(metrics.horizontalAdvance(text))) + 2;
    const int h = int(std::ceil(metrics.ascent() + metrics.descent())) + 2;
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(1.0, 1.0 + metrics.ascent()), text);
    }
    const double em = kTextPixels;
    TextQuad quad;
    quad.texture = uploadImage(image, false);
    // Baseline at y = 0, one em per unit.
    quad.rect = QRectF(-1.0 / em, (1.0 + metrics.ascent() - h) / em, w / em, h / em);
    return quad;
}

void CD3DView::releaseSceneObjects()
{
    auto drop = [this](unsigned& id) {
        if (id)
            glDeleteTextures(1, &id);
        id = 0;
    };
    drop(texture_);
    for (TextQuad& q : labelQuads_)
        drop(q.texture);
    for (TextQuad& q : letterQuads_)
        drop(q.texture);
    labelQuads_.clear();
    letterQuads_.clear();
}

void CD3DView::rebuildSceneObjects()
{
    sceneDirty_ = false;
    releaseSceneObjects();

    const std::vector<CylinderVertex> vertices = scene_.cylinderVertices();
    std::vector<float> packed;
    packed.reserve(vertices.size() * 5);
    for (const CylinderVertex& v : vertices)
        packed.insert(packed.end(), {v.position.x(), v.position.y(), v.position.z(), v.u, v.v});
    glBindBuffer(GL_ARRAY_BUFFER, cylinderBuffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(packed.size() * sizeof(float)), packed.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    if (!textureImage_.isNull())
        texture_ = uploadImage(textureImage_, true);

    for (const ScenePlacement& label : scene_.labelPlacements())
        labelQuads_.push_back(makeText(label.text));
    for (const ScenePlacement& letter : scene_.letterPlacements())
        letterQuads_.push_back(makeText(letter.text));
}

void CD3DView::drawText(const TextQuad& quad, const QMatrix4x4& world, const QMatrix4x4& viewProj)
{
    if (!quad.texture)
        return;
    textProgram_->setUniformValue("mvp", viewProj * world);
    textProgram_->setUniformValue("rect", QVector4D(float(quad.rect.x()), float(quad.rect.y()),
                                                    float(quad.rect.width()),
                                                    float(quad.rect.height())));
    glBindTexture(GL_TEXTURE_2D, quad.texture);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void CD3DView::paintGL()
{
    if (ready_ && sceneDirty_)
        rebuildSceneObjects();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClearDepthf(1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!ready_)
        return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);

    const QMatrix4x4 viewProj = CD3DScene::projectionMatrix() * scene_.viewMatrix();

    textProgram_->bind();
    textProgram_->setUniformValue("tex", 0);
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    const std::vector<ScenePlacement> labels = scene_.labelPlacements();
    for (size_t i = 0; i < labels.size() && i < labelQuads_.size(); ++i)
        drawText(labelQuads_[i], labels[i].world, viewProj);
    const std::vector<ScenePlacement> letters = scene_.letterPlacements();
    for (size_t i = 0; i < letters.size() && i < letterQuads_.size(); ++i)
        drawText(letterQuads_[i], letters[i].world, viewProj);
    textProgram_->release();

    if (texture_) {
        textureProgram_->bind();
        textureProgram_->setUniformValue("tex", 0);
        textureProgram_->setUniformValue("mvp", viewProj * scene_.cylinderWorld());
        glBindBuffer(GL_ARRAY_BUFFER, cylinderBuffer_);
        const GLsizei stride = 5 * sizeof(float);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(3 * sizeof(float)));
        glBindTexture(GL_TEXTURE_2D, texture_);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 2 * CD3DScene::kSegments);
        glDisableVertexAttribArray(1);
        textureProgram_->release();
    }
    glDisableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void CD3DView::followCursor()
{
    switch (scene_.cursor()) {
    case CD3DScene::CursorZoomIn:
        setCursor(zoomInCursor_);
        break;
    case CD3DScene::CursorZoomOut:
        setCursor(zoomOutCursor_);
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void CD3DView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && scene_.mousePress(event->position().toPoint()))
        update();
}

void CD3DView::mouseMoveEvent(QMouseEvent* event)
{
    if (scene_.mouseMove(event->position().toPoint()))
        update();
}

void CD3DView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && scene_.mouseRelease())
        update();
}

} // namespace bc
