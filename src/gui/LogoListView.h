#pragma once
// The logo tool's bitmap list, as pages 1-3 show it: a report list with the four columns
// " " (17, centred), "   No." (50, centred), "Name" (the rest, left) and "Size" (86, right),
// whose rows it draws itself: the highlight, each text 6 pixels inside its cell, a text too
// long for its cell cut to fit with "...", and the focus rectangle. With check boxes (page 1)
// every row carries one in its first cell.
//
// It only shows what it is given and reports the clicks: which rows, in which order, which row
// is selected and how the boxes are ticked are the page controller's business.
#include <QTreeWidget>
#include <string>
#include <vector>

class QCheckBox;

namespace korva {

class LogoListView : public QTreeWidget {
    Q_OBJECT
public:
    // The three texts of a row after the blank first column.
    struct Row {
        std::string number;
        std::string name;
        std::string size;
    };

    static constexpr int kCheckColumnWidth = 17;
    static constexpr int kNumberColumnWidth = 50;
    static constexpr int kSizeColumnWidth = 86;
    static constexpr int kNameColumnSlack = 158; // "Name": the client width less this
    static constexpr int kTextInset = 6;
    static constexpr int kNarrowestCell = 14; // a cut text in a cell this wide or less is hidden

    LogoListView(bool withCheckBoxes, QWidget* parent = nullptr);

    // Replaces the rows; selected is a row index or -1. Emits nothing.
    void showRows(const std::vector<Row>& rows, int selected);
    // Ticks row i's box as checks[i] says (rows beyond the vector are unticked). Emits nothing.
    void showChecks(const std::vector<bool>& checks);

    std::vector<int> selectedRows() const; // ascending
    QCheckBox* checkBox(int row) const;    // null without boxes or for a row that is not there
    // The text a cell of the given width shows for text (algorithm of the row drawing), for
    // tests: the whole text, the text cut with "...", or nothing.
    static QString fittedText(const QString& text, int cellWidth, const QFontMetrics& metrics,
                              bool& cut);

signals:
    void headerClicked(int column);
    void rowSelected(int row); // the user made row the current one (-1: none)
    void checkToggled(int row, bool checked);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool viewportEvent(QEvent* event) override;

private:
    void fitNameColumn();

    bool m_withCheckBoxes;
    bool m_filling = false;
};

} // namespace korva
