#pragma once
// The demo printer's paper: a small window that shows what the in-program virtual printer has
// printed, one picture per printed NV image, newest at the bottom, as a strip of receipt paper.
// It watches the printer's printout folder (print-<seq>-nv<n>-q<m>.png) and appears with the
// first print.
#include <QWidget>

class QLabel;
class QScrollArea;
class QTimer;

namespace korva {

class DemoPaper : public QWidget {
    Q_OBJECT
public:
    // folder: the printer's printout folder; paperDots: the printable width in dots.
    DemoPaper(const QString& folder, int paperDots, QWidget* parent = nullptr);

    // Looks for new prints now (the window also looks every half second); returns how many
    // prints the paper shows.
    int refresh();
    int printCount() const { return m_count; }

private:
    QString m_folder;
    int m_paperDots;
    int m_count = 0;
    QLabel* m_paper;
    QScrollArea* m_scroll;
    QTimer* m_timer;
};

} // namespace korva
