#include "kb/assignment/MacroRecordDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <chrono>
#include <memory>

#include "kb/common/AppConfig.h"
#include "kb/common/Trace.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/MonitorProxy.h"
#include "kb/ui/Events.h"
#include "kb/ui/LayoutLoader.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/CoordButtonImage.h"
#include "kb/widgets/SCheckBoxEx.h"
#include "kb/widgets/WidgetClasses.h"

namespace kb::assignment {

using kb::ui::FindById;
using kb::ui::FindByName;

namespace {

// IDs of the widgets the dialog finds by ID.
constexpr int kTabId = 65565;
constexpr int kDelayEditId = 65586;
constexpr int kRepeatEditId = 65585;
constexpr int kRecordCheckId = 65590;
constexpr int kSingleRecordId = 65592;
constexpr int kSingleKeyId = 65593;
constexpr int kMediaKeysId = 65594;
constexpr int kFunctionKeysId = 65595;
constexpr int kPlayModeId = 65591;
constexpr int kDelayButtonIds[3] = {65587, 65588, 65589};

constexpr int kTabMacro = 0;
constexpr int kTabSingleKey = 1;
constexpr int kTabFunctionKey = 3;

// The recording clock counts from program start (static initialisation).
const auto kProgramStart = std::chrono::steady_clock::now();

int64_t MillisecondsSinceStart() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 kProgramStart)
        .count();
}

}  // namespace

MacroRecordDlg::MacroRecordDlg(kb::KbFiltrDevice::FilterChannel& channel, kb::MacroLibrary& library,
                               CoordButtonImage* picture, const TargetKeys& targets,
                               const kb::AppConfig& config, kb::ui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent),
      channel_(channel),
      library_(library),
      picture_(picture),
      targets_(targets),
      config_(config),
      prompt_(prompt),
      groups_(library),
      steps_(library),
      clock_(MillisecondsSinceStart) {
    setObjectName(QStringLiteral("macro::Grouplg"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    channel_.SetProxy(std::make_unique<kb::KbFiltrDevice::MonitorProxy<MacroRecordDlg>>(
        this, &MacroRecordDlg::PostMonitorKey));
}

MacroRecordDlg::~MacroRecordDlg() {
    channel_.StopMonitor();
    channel_.SetProxy(nullptr);
}

void MacroRecordDlg::PostMonitorKey(uint32_t code, uint32_t pressed) {
    // Runs on the monitor thread: only queue. Pending calls die with the dialog.
    QMetaObject::invokeMethod(
        this, [this, code, pressed] { OnKeyEvent(code, pressed != 0); }, Qt::QueuedConnection);
}

bool MacroRecordDlg::Create() {
    if (created_) {
        return true;
    }
    kb::ui::LayoutLoader loader;
    kb::widgets::RegisterProgramWidgets(loader);
    content_ = loader.LoadLayout(QStringLiteral("macro"), this);
    if (content_ == nullptr || !FindWidgets()) {
        kb::Trace("macro dialog: the layout \"macro\" is missing or lacks a widget\n");
        delete content_;
        content_ = nullptr;
        return false;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content_);
    setWindowTitle(content_->windowTitle());
    setFixedSize(content_->minimumSize().expandedTo(content_->sizeHint()));
    created_ = true;
    Initialise();
    return true;
}

int MacroRecordDlg::Run() {
    if (!Create()) {
        return 0;
    }
    return exec();
}

bool MacroRecordDlg::FindWidgets() {
    QWidget* root = content_;
    stepList_ = FindByName<QTableView>(root, u"key_info", u"mclistview");
    groupList_ = FindByName<QListView>(root, u"macro_group", u"listview");
    recordingKeys_ = FindByName<QLabel>(root, u"text_recording_keys", u"text");
    tabs_ = FindById<QTabWidget>(root, kTabId, u"tabctrl2");
    delayEdit_ = FindById<QLineEdit>(root, kDelayEditId, u"edit");
    repeatEdit_ = FindById<QLineEdit>(root, kRepeatEditId, u"edit");
    recordCheck_ = FindById<SCheckBoxEx>(root, kRecordCheckId, u"checkex");
    listeningCheck_ = FindById<SCheckBoxEx>(root, kSingleRecordId, u"checkex");
    singleKey_ = FindById<QLabel>(root, kSingleKeyId, u"text");
    mediaKeys_ = FindById<QComboBox>(root, kMediaKeysId, u"combobox");
    functionKeys_ = FindById<QComboBox>(root, kFunctionKeysId, u"combobox");
    playMode_ = FindById<QComboBox>(root, kPlayModeId, u"combobox");
    for (int i = 0; i < 3; ++i) {
        delayButtons_[i] = FindById<QAbstractButton>(root, kDelayButtonIds[i], u"window");
    }
    titleBar_ = FindByName(root, u"dlg_title_bar");
    bool complete = stepList_ && groupList_ && recordingKeys_ && tabs_ && delayEdit_ && repeatEdit_ &&
                    recordCheck_ && listeningCheck_ && singleKey_ && mediaKeys_ && functionKeys_ && playMode_;
    for (QAbstractButton* button : delayButtons_) {
        complete = complete && button != nullptr;
    }
    return complete;
}

void MacroRecordDlg::Initialise() {
    SetUpStepList();
    SetUpGroupList();
    recorder_.Reset();
    ShowTargetKeys();
    ShowDelayMode();
    ShowCapturedKey();
    FillKeyLists();
    // Everything below runs with the handlers connected: showing the stored tab runs its handler, as a
    // user's choice of it would.
    ConnectEvents();
    ShowStoredChoices();
    ShowListening();
}

void MacroRecordDlg::SetUpStepList() {
    // Columns captioned by the layout's hidden col1..col4 labels; the delay edited in place.
    stepList_->setModel(&steps_);
    stepList_->setItemDelegateForColumn(KeyAndDelayAdapter::kDelay, new StepDelayDelegate(stepList_));
    stepList_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                               QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    stepList_->verticalHeader()->hide();
    QStringList captions;
    for (int i = 0; i < KeyAndDelayAdapter::kColumns; ++i) {
        const auto* label = FindByName<QLabel>(content_, KeyAndDelayAdapter::ColumnName(i), u"text");
        captions << (label != nullptr ? label->text() : KeyAndDelayAdapter::ColumnName(i));
    }
    steps_.SetColumnCaptions(captions);
    QHeaderView* header = stepList_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionResizeMode(QHeaderView::Stretch);
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int column) {
        if (!steps_.SortRequest(column)) {
            return;
        }
        const int mark = steps_.SortMark(column);
        header->setSortIndicatorShown(mark == kb::kSortUp || mark == kb::kSortDown);
        header->setSortIndicator(column, mark == kb::kSortDown ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
}

void MacroRecordDlg::SetUpGroupList() {
    groupList_->setModel(&groups_);
    groupList_->setItemDelegate(new GroupNameDelegate(groupList_));
    connect(groupList_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { OnGroupRowClicked(index.row()); });
    connect(groupList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!silentSelection_ && current.isValid()) {
                    OnGroupRowClicked(current.row());  // keyboard moves count as clicks
                }
            });
    // The remembered group is selected again and its steps shown.
    const auto groupCount = static_cast<int32_t>(library_.groups.size());
    if (library_.group < 0 || library_.group > groupCount) {
        library_.group = 0;
    }
    SelectRowSilently(groupList_, library_.group);
    BindStepsTo(library_.group);
}

void MacroRecordDlg::ShowTargetKeys() {
    QStringList names;
    for (const auto& [code, name] : targets_) {
        names << QString::fromStdU16String(name);
    }
    recordingKeys_->setText(names.join(QLatin1Char(',')));
}

void MacroRecordDlg::ShowDelayMode() {
    if (library_.mode >= 3 || library_.mode < 0) {
        // No button stands for it (-1 is 4294967295 in the file): recording would be left without a
        // visible rule, so real delays it is.
        library_.mode = kb::kDelayReal;
        SaveLibrary();
    }
    for (int i = 0; i < 3; ++i) {
        delayButtons_[i]->setChecked(i == library_.mode);
    }
}

void MacroRecordDlg::ShowCapturedKey() {
    if (library_.skcode == 0) {
        singleKey_->setText(QString());
        singleKey_->setProperty("userValue", 0);
    } else if (KeyButton key; picture_ != nullptr && picture_->GetButton(library_.skcode, key)) {
        singleKey_->setText(key.name);
        singleKey_->setProperty("userValue", library_.skcode);
    }
}

void MacroRecordDlg::FillKeyLists() {
    for (const kb::MediaKeyItem& item : config_.MediaKeys()) {
        mediaKeys_->addItem(kb::ui::Tr(QString::fromStdU16String(item.name)));
    }
    for (const kb::FunctionKeyItem& item : config_.FunctionKeys()) {
        functionKeys_->addItem(kb::ui::Tr(QString::fromStdU16String(item.name)));
    }
}

void MacroRecordDlg::ConnectEvents() {
    bridge_ = new kb::ui::EventBridge(content_);
    bridge_->SetHandler([this](const kb::ui::WidgetEvent& event) {
        if (event.name == QString::fromUtf16(kb::ui::kEventCommand)) {
            OnCommand(event);
        } else if (event.name == QString::fromUtf16(kb::ui::kEventTabSelChanged) && event.sender == tabs_) {
            OnTabChanged(event.value);
        } else if (event.name == QString::fromUtf16(kb::ui::kEventComboSelChange)) {
            int32_t* field = event.sender == playMode_       ? &library_.play
                             : event.sender == mediaKeys_    ? &library_.media
                             : event.sender == functionKeys_ ? &library_.function
                                                             : nullptr;
            if (field == nullptr) {
                return false;
            }
            *field = event.value;
            SaveLibrary();
        } else {
            return false;
        }
        return true;
    });
    connect(repeatEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        library_.repeat = kb::ParseCountText(text.toStdU16String());
        SaveLibrary();
    });
    connect(delayEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (library_.mode == kb::kDelayFixed) {
            library_.delay = kb::ParseCountText(text.toStdU16String());
            SaveLibrary();
        }
    });
    // Enter in a field must not end the dialog through a default button.
    for (QPushButton* button : content_->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    if (titleBar_ != nullptr) {
        titleBar_->installEventFilter(this);
    }
}

void MacroRecordDlg::ShowStoredChoices() {
    tabs_->setCurrentIndex(library_.type);  // runs the tab handler when it changes the tab
    if (tabs_->currentIndex() != library_.type) {
        // No such tab (a hand-edited file): what OK assigns must be the tab on show.
        library_.type = tabs_->currentIndex();
        SaveLibrary();
    }
    delayEdit_->setText(QString::number(library_.delay));
    repeatEdit_->setText(QString::number(library_.repeat));
    if (library_.mode == kb::kDelayNone) {
        delayEdit_->setText(QStringLiteral("0"));
        delayEdit_->setEnabled(false);
    } else if (library_.mode == kb::kDelayReal) {
        delayEdit_->setEnabled(false);
    }
    recordCheck_->setChecked(false);  // a dialog never opens recording
    if (library_.play < 0) {
        // A hand-edited file: play + 2 would be mode 1 or 0, a macro stored as something else. A combo
        // box would also show no entry for it. The first play mode is what is shown and stored.
        library_.play = 0;
        SaveLibrary();
    }
    // Entries beyond a list's end are refused by the box, which then keeps its selection.
    playMode_->setCurrentIndex(library_.play);
    functionKeys_->setCurrentIndex(library_.function);
    mediaKeys_->setCurrentIndex(library_.media);
}

void MacroRecordDlg::ShowListening() {
    // The single-key tab's check box only shows whether a key press will be captured now.
    listeningCheck_->setAttribute(Qt::WA_TransparentForMouseEvents);
    listeningCheck_->setFocusPolicy(Qt::NoFocus);
    listeningCheck_->setChecked(false);
    if (library_.type == kTabSingleKey) {
        StartCapture();
    }
    UpdateListeningMark();
}

void MacroRecordDlg::StartCapture() {
    if (channel_.StartMonitor()) {
        channel_.SetFilterMode(kModeCapture);
    }
}

void MacroRecordDlg::UpdateListeningMark() {
    listeningCheck_->setChecked(tabs_->currentIndex() == kTabSingleKey && channel_.IsMonitoring() &&
                                channel_.IsOpen());
}

void MacroRecordDlg::SaveLibrary() {
    if (!library_.Save()) {
        // Kept in memory; the next save tries again.
        kb::Trace("macro dialog: could not write %s\n", library_.Path().string().c_str());
    }
}

void MacroRecordDlg::OnCommand(const kb::ui::WidgetEvent& event) {
    const QString& name = event.senderName;
    for (int i = 0; i < 3; ++i) {
        if (event.senderId == kDelayButtonIds[i]) {
            OnDelayMode(i);
            return;
        }
    }
    if (name == u"btnOK") {
        if (!targets_.empty() && tabs_->currentIndex() < kTabFunctionKey) {
            library_.group = SelectedGroupRow();
        }
        done(kResultOk);
    } else if (name == u"btnCancel" || name == u"btnClose") {
        done(kResultCancel);
    } else if (name == u"btnDelete") {
        done(kResultDelete);
    } else if (name == u"btnMin") {
        showMinimized();
    } else if (name == u"btnRestore") {
        showNormal();
    } else if (name == u"groupAdd") {
        OnGroupAdd();
    } else if (name == u"groupDel") {
        OnGroupDel();
    } else if (name == u"groupImport") {
        OnGroupImport();
    } else if (name == u"groupExport") {
        OnGroupExport();
    } else if (name == u"item_up" || name == u"item_down" || name == u"item_delete" ||
               name == u"item_clear") {
        OnStepButton(name);
    } else if (event.sender == recordCheck_) {
        OnRecordClicked();
    }
}

void MacroRecordDlg::reject() {
    done(kResultCancel);
}

void MacroRecordDlg::done(int result) {
    channel_.StopMonitor();
    QDialog::done(result);
}

void MacroRecordDlg::OnDelayMode(int mode) {
    library_.mode = mode;
    if (mode == kb::kDelayReal) {
        delayEdit_->setEnabled(false);
    } else if (mode == kb::kDelayFixed) {
        delayEdit_->setEnabled(true);
        delayEdit_->setText(QString::number(library_.delay));
    } else {
        delayEdit_->setText(QStringLiteral("0"));
        delayEdit_->setEnabled(false);
    }
    SaveLibrary();
}

void MacroRecordDlg::OnRecordClicked() {
    if (SelectedGroupRow() < 0 && recordCheck_->isChecked()) {
        recordCheck_->setChecked(false);
        prompt_.Ask(this, kb::ui::Tr(QStringLiteral("Create or select a macro first, then start recording.")),
                    kb::ui::Tr(QStringLiteral("Warning")), kb::ui::PromptButtons::Ok);
    }
    // Also when a recording is stopped after its group was deleted: the caption follows the box.
    recordCheck_->setText(kb::ui::Tr(recordCheck_->isChecked() ? QStringLiteral("Stop record")
                                                               : QStringLiteral("Start record")));
    if (recordCheck_->isChecked()) {
        library_.recording = 1;
        recordingActive_ = channel_.StartMonitor();
        if (recordingActive_) {
            channel_.SetFilterMode(kModeCapture);
        }
    } else {
        library_.recording = 0;
        channel_.StopMonitor();
        channel_.SetFilterMode(kModeNoRemap);
        recordingActive_ = false;
    }
}

void MacroRecordDlg::OnTabChanged(int tab) {
    if (tab == kTabSingleKey) {
        channel_.StartMonitor();
        channel_.SetFilterMode(kModeCapture);
    } else {
        channel_.StopMonitor();
        channel_.SetFilterMode(kModeNoRemap);
        if (tab == kTabMacro && recordingActive_) {
            recordingActive_ = channel_.StartMonitor();
            if (recordingActive_) {
                channel_.SetFilterMode(kModeCapture);
            }
        }
    }
    library_.type = tab;
    SaveLibrary();
    UpdateListeningMark();
}

void MacroRecordDlg::OnKeyEvent(uint32_t code, bool pressed) {
    const int tab = tabs_ != nullptr ? tabs_->currentIndex() : -1;
    if (tab == kTabSingleKey) {
        if (!pressed) {
            return;
        }
        library_.skcode = static_cast<int32_t>(code);
        KeyButton key;
        if (code != 0 && picture_ != nullptr && picture_->GetButton(static_cast<int32_t>(code), key)) {
            singleKey_->setText(key.name);
            singleKey_->setProperty("userValue", static_cast<int32_t>(code));
        } else {
            singleKey_->setProperty("userValue", 0);
        }
        return;
    }
    if (tab != kTabMacro || !recordCheck_->isChecked()) {
        return;
    }
    recorder_.OnKey(library_, steps_.Group(), code, pressed, clock_());
    steps_.Refresh();
    stepList_->scrollToBottom();
}

bool MacroRecordDlg::eventFilter(QObject* watched, QEvent* event) {
    // The frameless dialog moves by its title bar.
    if (watched == titleBar_) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                dragging_ = true;
                dragOffset_ = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
            }
        } else if (event->type() == QEvent::MouseMove && dragging_) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            dragging_ = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kb::assignment
