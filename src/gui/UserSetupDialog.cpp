#include "gui/UserSetupDialog.h"

#include "gui/AppIcon.h"
#include "gui/PrinterPicture.h"
#include "gui/QtText.h"
#include "gui/QtTimerHost.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace korva {

namespace {

// The design's captions escape a literal ampersand as "&&"; a plain label shows text as is.
QString labelText(const std::string& s) {
    QString t = qt(s);
    t.replace("&&", "&");
    return t;
}

// Radio buttons and push buttons treat "&" as a mnemonic, as the design does.
QString buttonText(const std::string& s) {
    return qt(s);
}

void renderList(QComboBox* box, const ListView& v) {
    showComboItems(box, v.items, v.selected);
    box->setEnabled(v.enabled);
    box->setVisible(v.visible);
}

} // namespace

UserSetupDialog::UserSetupDialog(UserSetupContext context, QWidget* parent)
    : QDialog(parent), m_timers(std::make_unique<QtTimerHost>()) {
    setObjectName("UserSetupDialog");
    setWindowIcon(appIcon());
    m_screen = std::make_unique<UserSetupScreen>(std::move(context), *m_timers);
    m_timers->setClient(m_screen.get());
    m_timers->afterFire = [this] { afterCall(); };
    // The reply thread waits in the mailbox until this thread has applied its reply; the wake
    // only posts the pump, so the reply thread never waits on the event loop itself.
    QPointer<UserSetupDialog> self(this);
    m_screen->setReplyWake([self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self && self->m_screen) {
                    self->m_screen->pumpReplies();
                    if (!self->m_inCall)
                        self->render();
                }
            },
            Qt::QueuedConnection);
    });

    auto* outer = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    m_left = new QGroupBox(this);
    m_left->setObjectName("settingsGroup");
    m_right = new QGroupBox(this);
    m_right->setObjectName("newOptionGroup");
    buildLeft(m_left);
    buildRight(m_right);
    columns->addWidget(m_left, 3);
    columns->addWidget(m_right, 2);
    outer->addLayout(columns);

    auto* bottom = new QHBoxLayout;
    m_summary = new QLabel(this);
    m_summary->setObjectName("model");
    m_summary->setFrameShape(QFrame::StyledPanel);
    m_summary->setFrameShadow(QFrame::Sunken);
    m_summary->setMargin(6);
    m_summary->setMinimumWidth(200);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bottom->addWidget(m_summary, 1);
    auto* buttons = new QHBoxLayout;
    m_load = button("load", this);
    m_save = button("save", this);
    m_getValue = button("getValue", this);
    m_setValue = button("setValue", this);
    m_test = button("test", this);
    m_default = button("default", this);
    m_exit = button("exit", this);
    for (QPushButton* b : {m_load, m_save, m_getValue, m_setValue, m_test, m_default, m_exit})
        buttons->addWidget(b);
    bottom->addLayout(buttons);
    outer->addLayout(bottom);

    connect(m_getValue, &QPushButton::clicked, this,
            [this] { act([this] { m_screen->getValue(); }); });
    connect(m_setValue, &QPushButton::clicked, this,
            [this] { act([this] { m_screen->setValue(); }); });
    connect(m_test, &QPushButton::clicked, this, [this] { act([this] { m_screen->test(); }); });
    connect(m_default, &QPushButton::clicked, this,
            [this] { act([this] { m_screen->defaults(); }); });
    connect(m_exit, &QPushButton::clicked, this, [this] { act([this] { m_screen->exit(); }); });
    render();
}

UserSetupDialog::~UserSetupDialog() {
    // The screen ends its reply thread and link before the widgets it reports to go away.
    m_screen.reset();
}

QPushButton* UserSetupDialog::button(const char* name, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLabel* UserSetupDialog::label(LabelView UserSetupView::*field, QWidget* parent) {
    auto* l = new QLabel(parent);
    m_labels.push_back({l, field});
    return l;
}

QWidget* UserSetupDialog::radioPair(Choice choice, RadioPairView UserSetupView::*field,
                                    QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    auto* a = new QRadioButton(holder);
    auto* b = new QRadioButton(holder);
    auto* group = new QButtonGroup(holder);
    group->addButton(a, 0);
    group->addButton(b, 1);
    row->addWidget(a);
    row->addWidget(b);
    row->addStretch();
    const int index = static_cast<int>(m_radios.size());
    a->setObjectName(QString("radio%1a").arg(index));
    b->setObjectName(QString("radio%1b").arg(index));
    connect(group, &QButtonGroup::idClicked, this, [this, choice](int position) {
        m_screen->choose(choice, position);
        render();
    });
    m_radios.push_back({a, b, group, choice, field});
    return holder;
}

QComboBox* UserSetupDialog::listBox(Choice choice, ListView UserSetupView::*field,
                                    QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumWidth(90);
    connect(box, qOverload<int>(&QComboBox::activated), this, [this, choice](int position) {
        m_screen->choose(choice, position);
        render();
    });
    m_lists.push_back({box, choice, field});
    return box;
}

QLineEdit* UserSetupDialog::editBox(Edit which, EditView UserSetupView::*field, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setMaximumWidth(90);
    connect(e, &QLineEdit::textEdited, this, [this, which](const QString& text) {
        m_screen->setEdit(which, text.toStdString());
        render();
    });
    if (which == Edit::Margin || which == Edit::SetupCode)
        e->installEventFilter(this);
    m_edits.push_back({e, which, field});
    return e;
}

void UserSetupDialog::buildLeft(QGroupBox* box) {
    using V = UserSetupView;
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(4);
    int r = 0;
    auto row = [&](LabelView V::*lab, QWidget* control, QWidget* extra = nullptr,
                   QWidget* extra2 = nullptr) {
        grid->addWidget(label(lab, box), r, 0);
        auto* holder = new QWidget(box);
        auto* h = new QHBoxLayout(holder);
        h->setContentsMargins(0, 0, 0, 0);
        control->setParent(holder);
        h->addWidget(control);
        for (QWidget* w : {extra, extra2})
            if (w) {
                w->setParent(holder);
                h->addWidget(w);
            }
        h->addStretch();
        grid->addWidget(holder, r, 1);
        ++r;
    };
    auto unit = [box](const char* text) { return new QLabel(QString::fromUtf8(text), box); };

    row(&V::paperWidthLabel, radioPair(Choice::PaperWidth, &V::paperWidth, box),
        listBox(Choice::Columns, &V::columns, box));
    row(&V::paperTypeLabel, radioPair(Choice::PaperType, &V::paperType, box),
        listBox(Choice::ColorDensity, &V::colorDensity, box));
    row(&V::waterMarkLabel, radioPair(Choice::WaterMark, &V::waterMark, box),
        label(&V::imageLabel, box), editBox(Edit::WaterMarkImage, &V::waterMarkImage, box));
    row(&V::cutPositionLabel, radioPair(Choice::CutPosition, &V::cutPosition, box),
        label(&V::linesLabel, box), editBox(Edit::CutLines, &V::cutLines, box));
    row(&V::drawerWithCutLabel, radioPair(Choice::DrawerWithCut, &V::drawerWithCut, box));
    {
        auto* bell = new QWidget(box);
        auto* h = new QHBoxLayout(bell);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(listBox(Choice::BellType, &V::bellType, bell));
        h->addWidget(listBox(Choice::BellTimes, &V::bellTimes, bell));
        h->addWidget(label(&V::timesLabel, bell));
        row(&V::bellTypeLabel, bell);
    }
    row(&V::codePageLabel, listBox(Choice::CodePage, &V::codePage, box));
    row(&V::nvGraphicLabel, listBox(Choice::NvGraphic, &V::nvGraphic, box), unit("Kbyte"));
    row(&V::nvUserLabel, listBox(Choice::NvUser, &V::nvUser, box), unit("Kbyte"));
    row(&V::cuttingModeLabel, radioPair(Choice::CuttingMode, &V::cuttingMode, box));
    row(&V::speedLabel, listBox(Choice::PrintSpeed, &V::printSpeed, box), unit("mm/sec"));
    row(&V::marginLabel, editBox(Edit::Margin, &V::margin, box), label(&V::marginUnit, box));
    row(&V::drawerSelfTestLabel, radioPair(Choice::DrawerSelfTest, &V::drawerSelfTest, box));
    row(&V::boldLabel, radioPair(Choice::BoldKorean, &V::boldKorean, box));
    row(&V::receiveBufferLabel, listBox(Choice::ReceiveBuffer, &V::receiveBuffer, box),
        unit("Kbyte"));
    row(&V::stopBitLabel, radioPair(Choice::StopBit, &V::stopBit, box));
    row(&V::setupCodeLabel, editBox(Edit::SetupCode, &V::setupCode, box));

    // The Receive Error row exists but is never shown.
    auto* errorLabel = new QLabel(QStringLiteral("Receive Error"), box);
    QWidget* errorPair = radioPair(Choice::ReceiveError, &V::receiveError, box);
    grid->addWidget(errorLabel, r, 0);
    grid->addWidget(errorPair, r, 1);
    m_receiveErrorRow = {errorLabel, errorPair};
    grid->setColumnStretch(1, 1);
}

void UserSetupDialog::buildRight(QGroupBox* box) {
    using V = UserSetupView;
    auto* outer = new QVBoxLayout(box);
    // A form layout drops a hidden row together with its spacing, so the rows a model hides
    // leave no gap above the picture.
    m_rightForm = new QFormLayout;
    m_rightForm->setVerticalSpacing(4);
    auto row = [&](LabelView V::*lab, QWidget* control) {
        QLabel* l = label(lab, box);
        m_rightForm->addRow(l, control);
        m_rightRows.push_back({l, lab});
    };
    row(&V::emulationLabel, radioPair(Choice::Emulation, &V::emulation, box));
    row(&V::densityLabel, listBox(Choice::PrintDensity, &V::printDensity, box));
    row(&V::autoCutLabel, radioPair(Choice::AutoCutter, &V::autoCutter, box));
    row(&V::selfTestLabel, radioPair(Choice::SelfTestKey, &V::selfTestKey, box));
    row(&V::kitchenBellLabel, radioPair(Choice::KitchenBell, &V::kitchenBell, box));
    row(&V::usbModeLabel, radioPair(Choice::UsbMode, &V::usbMode, box));
    row(&V::paperSaveLabel, listBox(Choice::PaperSave, &V::paperSave, box));
    row(&V::sleepLabel, listBox(Choice::SleepMode, &V::sleepMode, box));
    outer->addLayout(m_rightForm);
    m_picture = new PrinterPicture(box);
    outer->addWidget(m_picture, 0, Qt::AlignHCenter);
    outer->addStretch();
}

bool UserSetupDialog::start() {
    bool ok = m_screen->open();
    render();
    return ok && !m_screen->closed();
}

void UserSetupDialog::act(const std::function<void()>& action) {
    // Transfers run on this thread and may pause for seconds: show the wait cursor meanwhile.
    m_inCall = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    action();
    QApplication::restoreOverrideCursor();
    m_inCall = false;
    afterCall();
}

void UserSetupDialog::afterCall() {
    if (m_screen->closed()) {
        QDialog::reject();
        return;
    }
    render();
}

void UserSetupDialog::reject() {
    if (m_screen->closed()) {
        QDialog::reject();
        return;
    }
    if (!m_exit->isEnabled())
        return; // a transfer is running; EXIT is disabled and so is closing
    act([this] { m_screen->exit(); });
}

bool UserSetupDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* e = qobject_cast<QLineEdit*>(watched))
            // After the focus change has placed the cursor: select all, cursor at the end, so
            // the whole text is selected and its end is in view.
            QTimer::singleShot(0, e, [e] { e->selectAll(); });
    return QDialog::eventFilter(watched, event);
}

void UserSetupDialog::render() {
    const UserSetupView& v = m_screen->view();
    setWindowTitle(qt(v.title));
    m_left->setTitle(labelText(v.frameTitle));
    m_right->setTitle(labelText(v.newOptionGroup.text));
    m_right->setVisible(v.newOptionGroup.visible);
    m_summary->setText(qtMessage(v.summary));
    for (const LabelRow& l : m_labels) {
        const LabelView& lv = v.*l.field;
        l.label->setText(labelText(lv.text));
        l.label->setEnabled(lv.enabled);
        l.label->setVisible(lv.visible);
    }
    for (const RadioRow& r : m_radios) {
        const RadioPairView& rv = v.*r.field;
        r.first->setText(buttonText(rv.first));
        r.second->setText(buttonText(rv.second));
        QSignalBlocker block(r.group);
        // An unset pair shows neither button checked.
        r.group->setExclusive(false);
        r.first->setChecked(rv.selected == 0);
        r.second->setChecked(rv.selected == 1);
        r.group->setExclusive(true);
        for (QRadioButton* b : {r.first, r.second}) {
            b->setEnabled(rv.enabled);
            b->setVisible(rv.visible);
        }
    }
    for (const ListRow& l : m_lists)
        renderList(l.box, v.*l.field);
    for (const EditRow& e : m_edits) {
        const EditView& ev = v.*e.field;
        if (e.edit->text() != qt(ev.text))
            e.edit->setText(qt(ev.text));
        e.edit->setEnabled(ev.enabled);
        e.edit->setMaxLength(ev.maxLength ? static_cast<int>(ev.maxLength) : 32767);
    }
    for (const LabelRow& r : m_rightRows)
        m_rightForm->setRowVisible(r.label, (v.*r.field).visible);
    for (QWidget* w : m_receiveErrorRow)
        w->setVisible(v.receiveError.visible);
    m_picture->setVisible(v.pictureVisible);
    const std::pair<QPushButton*, const ButtonView*> buttons[] = {
        {m_getValue, &v.getValue}, {m_setValue, &v.setValue}, {m_test, &v.test},
        {m_default, &v.defaults},  {m_exit, &v.exit},         {m_load, &v.load},
        {m_save, &v.save}};
    for (auto [b, bv] : buttons) {
        b->setText(buttonText(bv->caption));
        b->setEnabled(bv->enabled);
        b->setVisible(bv->visible);
    }
    if (v.cursor == Cursor::Wait)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

QRadioButton* UserSetupDialog::radio(Choice choice, int position) const {
    for (const RadioRow& r : m_radios)
        if (r.choice == choice)
            return position == 0 ? r.first : r.second;
    return nullptr;
}

QComboBox* UserSetupDialog::list(Choice choice) const {
    for (const ListRow& l : m_lists)
        if (l.choice == choice)
            return l.box;
    return nullptr;
}

QLineEdit* UserSetupDialog::edit(Edit which) const {
    for (const EditRow& e : m_edits)
        if (e.which == which)
            return e.edit;
    return nullptr;
}

QWidget* UserSetupDialog::picture() const {
    return m_picture;
}

} // namespace korva
