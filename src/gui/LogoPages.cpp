#include "gui/LogoPages.h"

#include "gui/LogoListView.h"
#include "gui/LogoPreview.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace korva {

namespace {

QPushButton* pushButton(const char* name, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumWidth(110);
    return b;
}

QLineEdit* readOnlyField(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    return e;
}

QRadioButton* radio(const char* name, QButtonGroup* group, int id, QWidget* parent) {
    auto* r = new QRadioButton(parent);
    r->setObjectName(name);
    group->addButton(r, id);
    return r;
}

// The list in its group, then the two texts, label beside field.
LogoListBlock listBlock(bool withCheckBoxes, QWidget* page, QVBoxLayout* into) {
    LogoListBlock b;
    b.group = new QGroupBox(page);
    b.group->setObjectName("listGroup");
    auto* inner = new QVBoxLayout(b.group);
    b.list = new LogoListView(withCheckBoxes, b.group);
    b.list->setMinimumSize(420, 170);
    inner->addWidget(b.list);
    into->addWidget(b.group, 1);

    auto* texts = new QGridLayout;
    b.countLabel = new QLabel(page);
    b.count = readOnlyField("imageCount", page);
    b.memoryLabel = new QLabel(page);
    b.memory = readOnlyField("imageMemory", page);
    for (QLineEdit* e : {b.count, b.memory})
        e->setMaximumWidth(150);
    texts->addWidget(b.countLabel, 0, 0);
    texts->addWidget(b.count, 0, 1);
    texts->addWidget(b.memoryLabel, 1, 0);
    texts->addWidget(b.memory, 1, 1);
    texts->setColumnStretch(2, 1);
    into->addLayout(texts);
    return b;
}

LogoPrinterDetails printerDetails(QWidget* page) {
    LogoPrinterDetails d;
    d.group = new QGroupBox(page);
    d.group->setObjectName("printerDetails");
    auto* form = new QFormLayout(d.group);
    d.nameLabel = new QLabel(d.group);
    d.name = readOnlyField("printerName", d.group);
    d.portLabel = new QLabel(d.group);
    d.port = readOnlyField("portName", d.group);
    form->addRow(d.nameLabel, d.name);
    form->addRow(d.portLabel, d.port);
    return d;
}

} // namespace

LogoSelectTab::LogoSelectTab(QWidget* parent) : QWidget(parent) {
    setObjectName("selectBitmap");
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    block = listBlock(true, this, left);
    centreGroup = new QGroupBox(this);
    centreGroup->setObjectName("centreGroup");
    auto* centreLayout = new QVBoxLayout(centreGroup);
    centreText = new QLabel(centreGroup);
    centreText->setWordWrap(true);
    centreLayout->addWidget(centreText);
    left->addWidget(centreGroup);
    columns->addLayout(left, 1);

    auto* buttons = new QVBoxLayout;
    openFile = pushButton("openFile", this);
    remove = pushButton("remove", this);
    reset = pushButton("reset", this);
    buttons->addSpacing(14);
    buttons->addWidget(openFile);
    buttons->addWidget(remove);
    buttons->addWidget(reset);
    buttons->addStretch();
    columns->addLayout(buttons);
}

LogoPreviewTab::LogoPreviewTab(QWidget* parent) : QWidget(parent) {
    setObjectName("previewBitmap");
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    block = listBlock(false, this, left);
    block.list->setMinimumSize(320, 150);
    columns->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    preview = new LogoPreview(this);
    right->addWidget(preview, 1);
    qualityGroup = new QGroupBox(this);
    qualityGroup->setObjectName("qualityGroup");
    qualityButtons = new QButtonGroup(this);
    auto* grid = new QGridLayout(qualityGroup);
    const char* names[4] = {"normal", "quadraple", "doubleHeight", "doubleWidth"};
    for (int i = 0; i < 4; ++i) {
        quality[i] = radio(names[i], qualityButtons, i, qualityGroup);
        grid->addWidget(quality[i], i / 2, i % 2);
    }
    right->addWidget(qualityGroup);
    columns->addLayout(right, 1);
}

LogoUploadTab::LogoUploadTab(QWidget* parent) : QWidget(parent) {
    setObjectName("uploadBitmap");
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    block = listBlock(false, this, left);
    columns->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    upload = pushButton("upload", this);
    right->addSpacing(14);
    right->addWidget(upload);
    right->addStretch();
    details = printerDetails(this);
    details.name->setMinimumWidth(120);
    right->addWidget(details.group);
    columns->addLayout(right);
}

LogoPrintTab::LogoPrintTab(QWidget* parent) : QWidget(parent) {
    setObjectName("printBitmap");
    auto* grid = new QGridLayout(this);

    rangeGroup = new QGroupBox(this);
    rangeGroup->setObjectName("rangeGroup");
    rangeButtons = new QButtonGroup(this);
    auto* range = new QGridLayout(rangeGroup);
    all = radio("all", rangeButtons, 0, rangeGroup);
    selection = radio("selection", rangeButtons, 1, rangeGroup);
    selectionText = new QLineEdit(rangeGroup);
    selectionText->setObjectName("selectionText");
    selectionText->setMinimumWidth(160);
    selectionText->installEventFilter(this);
    range->addWidget(all, 0, 0, 1, 2);
    range->addWidget(selection, 1, 0);
    range->addWidget(selectionText, 1, 1);
    range->setColumnStretch(1, 1);

    qualityGroup = new QGroupBox(this);
    qualityGroup->setObjectName("qualityGroup");
    qualityButtons = new QButtonGroup(this);
    auto* q = new QGridLayout(qualityGroup);
    const char* names[4] = {"normal", "doubleWidth", "doubleHeight", "quadraple"};
    for (int i = 0; i < 4; ++i) {
        quality[i] = radio(names[i], qualityButtons, i, qualityGroup);
        q->addWidget(quality[i], i / 2, i % 2);
    }

    headerGroup = new QGroupBox(this);
    headerGroup->setObjectName("headerGroup");
    headerButtons = new QButtonGroup(this);
    auto* h = new QHBoxLayout(headerGroup);
    noHeader = radio("noHeader", headerButtons, 0, headerGroup);
    addHeader = radio("addHeader", headerButtons, 1, headerGroup);
    h->addWidget(noHeader);
    h->addWidget(addHeader);
    h->addStretch();

    details = printerDetails(this);
    print = pushButton("print", this);
    print->setDefault(true);

    grid->addWidget(rangeGroup, 0, 0);
    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(8);
    buttons->addWidget(print);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 1);
    grid->addWidget(qualityGroup, 1, 0);
    grid->addWidget(headerGroup, 2, 0);
    grid->addWidget(details.group, 1, 1, 2, 1);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
}

bool LogoPrintTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == selectionText && event->type() == QEvent::FocusIn)
        emit selectionFocused();
    return QWidget::eventFilter(watched, event);
}

LogoSetupTab::LogoSetupTab(QWidget* parent) : QWidget(parent) {
    setObjectName("setup");
    auto* grid = new QGridLayout(this);

    auto* ticks = new QVBoxLayout;
    printToFile = new QCheckBox(this);
    printToFile->setObjectName("printToFile");
    grayPrinting = new QCheckBox(this);
    grayPrinting->setObjectName("grayPrinting");
    starEmulation = new QCheckBox(this);
    starEmulation->setObjectName("starEmulation");
    for (QCheckBox* c : {printToFile, grayPrinting, starEmulation})
        ticks->addWidget(c);
    ticks->addStretch();

    aboutGroup = new QGroupBox(this);
    aboutGroup->setObjectName("aboutGroup");
    auto* about = new QVBoxLayout(aboutGroup);
    aboutName = new QLabel(aboutGroup);
    aboutName->setObjectName("aboutName");
    aboutBrand = new QLabel(aboutGroup);
    aboutBrand->setObjectName("aboutBrand");
    about->addWidget(aboutName);
    about->addWidget(aboutBrand);

    optionGroup = new QGroupBox(this);
    optionGroup->setObjectName("optionGroup");
    auto* options = new QGridLayout(optionGroup);
    maxAreaLabel = new QLabel(optionGroup);
    // The fields take only values in their ranges: an out-of-range entry is never taken.
    maxArea = new QSpinBox(optionGroup);
    maxArea->setObjectName("maxArea");
    maxArea->setRange(1, 512);
    maxArea->setButtonSymbols(QAbstractSpinBox::NoButtons);
    maxArea->setMinimumWidth(60);
    maxAreaUnit = new QLabel(optionGroup);
    thresholdLabel = new QLabel(optionGroup);
    thresholdSlider = new QSlider(Qt::Horizontal, optionGroup);
    thresholdSlider->setObjectName("thresholdSlider");
    thresholdSlider->setRange(0, 255);
    thresholdSlider->setMinimumWidth(180);
    threshold = new QSpinBox(optionGroup);
    threshold->setObjectName("threshold");
    threshold->setRange(0, 255);
    threshold->setButtonSymbols(QAbstractSpinBox::NoButtons);
    threshold->setMinimumWidth(60);
    options->addWidget(maxAreaLabel, 0, 0);
    options->addWidget(maxArea, 0, 1);
    options->addWidget(maxAreaUnit, 0, 2);
    options->addWidget(thresholdLabel, 1, 0, 1, 3);
    options->addWidget(thresholdSlider, 2, 0, 1, 2);
    options->addWidget(threshold, 2, 2);
    options->setColumnStretch(0, 1);

    deviceGroup = new QGroupBox(this);
    deviceGroup->setObjectName("deviceGroup");
    auto* deviceLayout = new QVBoxLayout(deviceGroup);
    device = new QLabel(deviceGroup);
    device->setObjectName("device");
    device->setTextInteractionFlags(Qt::TextSelectableByMouse);
    device->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    device->setMinimumWidth(200);
    deviceLayout->addWidget(device);
    deviceLayout->addStretch();

    grid->addLayout(ticks, 0, 0);
    grid->addWidget(aboutGroup, 0, 1);
    grid->addWidget(optionGroup, 1, 0);
    grid->addWidget(deviceGroup, 1, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

} // namespace korva
