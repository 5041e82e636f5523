#include "gui/DemoPaper.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace korva {

namespace {

constexpr int kShownPrints = 16; // older prints have scrolled off the roll
constexpr int kGapDots = 24;     // paper fed between two images
constexpr double kScale = 0.6;   // screen pixels per dot

} // namespace

DemoPaper::DemoPaper(const QString& folder, int paperDots, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_folder(folder), m_paperDots(paperDots) {
    setObjectName("DemoPaper");
    setWindowTitle(QStringLiteral("Virtual printer: paper"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("What the demo printer printed, newest last"), this);
    m_paper = new QLabel(this);
    m_paper->setObjectName("paper");
    m_paper->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_paper);
    m_scroll->setWidgetResizable(true);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setMinimumSize(static_cast<int>(paperDots * kScale) + 40, 320);
    layout->addWidget(caption);
    layout->addWidget(m_scroll, 1);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { refresh(); });
    m_timer->start(500);
}

int DemoPaper::refresh() {
    static const QRegularExpression name(QStringLiteral("^print-(\\d+)-nv\\d+-q\\d\\.png$"));
    std::vector<std::pair<int, QString>> prints;
    for (const QString& file : QDir(m_folder).entryList({"print-*.png"}, QDir::Files)) {
        const QRegularExpressionMatch m = name.match(file);
        if (m.hasMatch())
            prints.emplace_back(m.captured(1).toInt(), file);
    }
    const int count = static_cast<int>(prints.size());
    if (count == m_count)
        return m_count;
    m_count = count;
    std::sort(prints.begin(), prints.end());
    if (prints.size() > kShownPrints)
        prints.erase(prints.begin(), prints.end() - kShownPrints);

    std::vector<QImage> images;
    int width = m_paperDots;
    int height = kGapDots;
    for (const auto& [seq, file] : prints) {
        QImage image(QDir(m_folder).filePath(file));
        if (image.isNull())
            continue;
        width = std::max(width, image.width());
        height += image.height() + kGapDots;
        images.push_back(std::move(image));
    }
    QImage paper(width, height, QImage::Format_RGB32);
    paper.fill(Qt::white);
    {
        QPainter p(&paper);
        int y = kGapDots;
        for (const QImage& image : images) {
            p.drawImage(0, y, image);
            y += image.height() + kGapDots;
        }
    }
    m_paper->setPixmap(QPixmap::fromImage(
        paper.scaled(static_cast<int>(width * kScale), static_cast<int>(height * kScale),
                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    if (!isVisible())
        show();
    QTimer::singleShot(0, this, [this] {
        m_scroll->verticalScrollBar()->setValue(m_scroll->verticalScrollBar()->maximum());
    });
    return m_count;
}

} // namespace korva
