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
class QSpinBox;

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

class LogoSelectTab : public QWidget {
    Q_OBJECT
public:
    explicit LogoSelectTab(QWidget* parent = nullptr);
    LogoListBlock block;
    QPushButton* openFile;
    QPushButton* remove;
    QPushButton* reset;
    QGroupBox* centreGroup;
    QLabel* centreText;
};

class LogoPreviewTab : public QWidget {
    Q_OBJECT
public:
    explicit LogoPreviewTab(QWidget* parent = nullptr);
    LogoListBlock block;
    LogoPreview* preview;
    QGroupBox* qualityGroup;
    // In the page's order: Normal, Quadraple, Double Height, Double Width (ids 0..3).
    QRadioButton* quality[4];
    QButtonGroup* qualityButtons;
};

class LogoUploadTab : public QWidget {
    Q_OBJECT
public:
    explicit LogoUploadTab(QWidget* parent = nullptr);
    LogoListBlock block;
    QPushButton* upload;
    LogoPrinterDetails details;
};

class LogoPrintTab : public QWidget {
    Q_OBJECT
public:
    explicit LogoPrintTab(QWidget* parent = nullptr);
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

class LogoSetupTab : public QWidget {
    Q_OBJECT
public:
    explicit LogoSetupTab(QWidget* parent = nullptr);
    QCheckBox* printToFile;
    QCheckBox* grayPrinting;
    QCheckBox* starEmulation;
    QGroupBox* aboutGroup;
    QLabel* aboutName;
    QLabel* aboutBrand;
    QGroupBox* optionGroup;
    QLabel* maxAreaLabel;
    QSpinBox* maxArea;
    QLabel* maxAreaUnit;
    QLabel* thresholdLabel;
    QSlider* thresholdSlider;
    QSpinBox* threshold;
    QGroupBox* deviceGroup;
    QLabel* device;
};

} // namespace korva
