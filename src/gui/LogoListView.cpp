#include "gui/LogoListView.h"

#include "gui/QtText.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QSignalBlocker>

namespace korva {

namespace {

constexpr int kColumns = 4;
const char* const kHeadings[kColumns] = {" ", "   No.", "Name", "Size"};
const Qt::Alignment kAlign[kColumns] = {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft,
                                        Qt::AlignRight};

} // namespace

LogoListView::LogoListView(bool withCheckBoxes, QWidget* parent)
    : QTreeWidget(parent), m_withCheckBoxes(withCheckBoxes) {
    setObjectName("bitmapList");
    setColumnCount(kColumns);
    QStringList headings;
    for (const char* h : kHeadings)
        headings << QString::fromLatin1(h);
    setHeaderLabels(headings);
    for (int c = 0; c < kColumns; ++c)
        headerItem()->setTextAlignment(c, kAlign[c] | Qt::AlignVCenter);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // the pages sort, by their own rule
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setIndentation(0);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setMinimumSectionSize(kCheckColumnWidth);
    setColumnWidth(0, kCheckColumnWidth);
    setColumnWidth(1, kNumberColumnWidth);
    setColumnWidth(3, kSizeColumnWidth);
    fitNameColumn();

    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { emit headerClicked(column); });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_filling)
            return;
        QTreeWidgetItem* item = currentItem();
        int row = item && item->isSelected() ? indexOfTopLevelItem(item) : -1;
        if (row < 0) {
            std::vector<int> rows = selectedRows();
            row = rows.empty() ? -1 : rows.front();
        }
        emit rowSelected(row);
    });
}

void LogoListView::fitNameColumn() {
    // The list's client width, as the scroll bars leave it.
    setColumnWidth(2, std::max(40, viewport()->width() - kNameColumnSlack));
}

bool LogoListView::viewportEvent(QEvent* event) {
    const bool handled = QTreeWidget::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        fitNameColumn();
    return handled;
}

void LogoListView::showRows(const std::vector<Row>& rows, int selected) {
    m_filling = true;
    QSignalBlocker block(this);
    clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QStringLiteral(" "));
        item->setText(1, qt(rows[i].number));
        item->setText(2, qt(rows[i].name));
        item->setText(3, qt(rows[i].size));
        for (int c = 0; c < kColumns; ++c)
            item->setTextAlignment(c, kAlign[c] | Qt::AlignVCenter);
        if (m_withCheckBoxes) {
            auto* box = new QCheckBox;
            box->setObjectName(QString("centre%1").arg(i));
            box->setFocusPolicy(Qt::NoFocus);
            const int row = static_cast<int>(i);
            connect(box, &QCheckBox::toggled, this,
                    [this, row](bool on) { emit checkToggled(row, on); });
            setItemWidget(item, 0, box);
        }
    }
    if (selected >= 0 && selected < topLevelItemCount()) {
        QTreeWidgetItem* item = topLevelItem(selected);
        setCurrentItem(item);
        item->setSelected(true);
        scrollToItem(item);
    } else {
        setCurrentItem(nullptr);
        clearSelection();
    }
    m_filling = false;
}

void LogoListView::showChecks(const std::vector<bool>& checks) {
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (QCheckBox* box = checkBox(i)) {
            QSignalBlocker block(box);
            box->setChecked(static_cast<std::size_t>(i) < checks.size() &&
                            checks[static_cast<std::size_t>(i)]);
        }
}

std::vector<int> LogoListView::selectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->isSelected())
            rows.push_back(i);
    return rows;
}

QCheckBox* LogoListView::checkBox(int row) const {
    if (!m_withCheckBoxes || row < 0 || row >= topLevelItemCount())
        return nullptr;
    return qobject_cast<QCheckBox*>(itemWidget(topLevelItem(row), 0));
}

QString LogoListView::fittedText(const QString& text, int cellWidth, const QFontMetrics& metrics,
                                 bool& cut) {
    cut = false;
    const int room = cellWidth - 2 * kTextInset;
    if (metrics.horizontalAdvance(text) <= room)
        return text;
    cut = true;
    if (cellWidth <= kNarrowestCell)
        return {};
    const QString dots = QStringLiteral("...");
    QString t = text;
    while (!t.isEmpty() && metrics.horizontalAdvance(t + dots) > room)
        t.chop(1);
    return t + dots;
}

void LogoListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (!item)
        return;
    // The selection stays visible when the list loses the focus, so the row a page reselects
    // is seen whichever control has the focus.
    const bool selected = item->isSelected();
    const QPalette& pal = option.palette;
    const QRect rowRect = option.rect;
    painter->save();
    painter->fillRect(rowRect,
                      selected ? pal.brush(QPalette::Highlight) : pal.brush(QPalette::Base));
    painter->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    painter->setFont(option.font);
    const QFontMetrics metrics(option.font);
    for (int c = 0; c < kColumns; ++c) {
        const QRect cell(header()->sectionViewportPosition(c), rowRect.y(),
                         header()->sectionSize(c), rowRect.height());
        if (c == 0) {
            painter->drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, item->text(0));
            continue;
        }
        bool cut = false;
        const QString shown = fittedText(item->text(c), cell.width(), metrics, cut);
        if (shown.isEmpty())
            continue;
        const QRect textRect = cell.adjusted(kTextInset, 0, -kTextInset, 0);
        const Qt::Alignment align = cut ? Qt::AlignLeft : kAlign[c];
        painter->drawText(textRect, align | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    if (hasFocus() && currentIndex().row() == index.row()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rowRect.adjusted(0, 0, -1, -1);
        focus.backgroundColor =
            selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
    painter->restore();
}

} // namespace korva
