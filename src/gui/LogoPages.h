#pragma once
// The five pages of the logo tool's sheet, as widgets only: each builds its controls and names
// them; the sheet gives them their texts and states from the controllers and forwards their
// signals. Pages 1-3 share the bitmap list block (the list, "Number of Image Files" and
// "Total Image File Size").
#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace korva {

class LogoListView;
class LogoPreview;

// The bitmap list group with the two read-only texts under it.
struct LogoListBlock {
    QGroupBox* group = nullptr;
    LogoListView* list = nullptr;
    QLabel* countLabel = nullptr;
    QLineEdit* count = nullptr;
    QLabel* memoryLabel = nullptr;
    QLineEdit* memory = nullptr;
};

// Read-only "Printer Name" and "Port Name" fields in their group.
struct LogoPrinterDetails {
    QGroupBox* group = nullptr;
    QLabel* nameLabel = nullptr;
    QLineEdit* name = nullptr;
    QLabel* portLabel = nullptr;
    QLineEdit* port = nullptr;
};

class LogoSelectionPage : public QWidget {
    Q_OBJECT
public:
    explicit LogoSelectionPage(QWidget* parent = nullptr);
    LogoListBlock block;
    QPushButton* openFile;
    QPushButton* remove;
    QPushButton* reset;
    QGroupBox* centreGroup;
    QLabel* centreText;
};

class LogoPreviewPage : public QWidget {
    Q_OBJECT
public:
    explicit LogoPreviewPage(QWidget* parent = nullptr);
    LogoListBlock block;
    LogoPreview* preview;
    QGroupBox* qualityGroup;
    // In the page's order: Normal, Quadraple, Double Height, Double Width (ids 0..3).
    QRadioButton* quality[4];
    QButtonGroup* qualityButtons;
};

class LogoUploadPage : public QWidget {
    Q_OBJECT
public:
    explicit LogoUploadPage(QWidget* parent = nullptr);
    LogoListBlock block;
    QPushButton* upload;
    LogoPrinterDetails details;
};

class LogoPrintPage : public QWidget {
    Q_OBJECT
public:
    explicit LogoPrintPage(QWidget* parent = nullptr);
    QPushButton* print;
    QGroupBox* rangeGroup;
    QRadioButton* all;
    QRadioButton* selection;
    QLineEdit* selectionText;
    QButtonGroup* rangeButtons;
    QGroupBox* qualityGroup;
    // Normal, Double Width, Double Height, Quadraple (ids 0..3, the command's quality byte).
    QRadioButton* quality[4];
    QButtonGroup* qualityButtons;
    QGroupBox* headerGroup;
    QRadioButton* noHeader;
    QRadioButton* addHeader;
    QButtonGroup* headerButtons;
    LogoPrinterDetails details;

signals:
    void selectionFocused(); // the selection field took the focus

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class LogoSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit LogoSetupPage(QWidget* parent = nullptr);
    QCheckBox* printToFile;
    QCheckBox* grayPrinting;
    QCheckBox* starEmulation;
    QGroupBox* aboutGroup;
    QLabel* aboutName;
    QLabel* aboutBrand;
    QGroupBox* optionGroup;
    QLabel* maxAreaLabel;
    QLineEdit* maxArea;
    QLabel* maxAreaUnit;
    QLabel* thresholdLabel;
    QSlider* thresholdSlider;
    QLineEdit* threshold;
    QGroupBox* deviceGroup;
    QLabel* device;
};

} // namespace korva
