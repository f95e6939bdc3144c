#include "kb/assignment/KeyAndDelayAdapter.h"

#include "RowRefresh.h"
#include "kb/macros/MacroRecorder.h"
#include "kb/ui/Translator.h"
#include "kb/widgets/SEditEx.h"

namespace kb::assignment {

KeyAndDelayAdapter::KeyAndDelayAdapter(kb::MacroLibrary& library, QObject* parent)
    : QAbstractTableModel(parent), library_(library) {}

kb::MacroGroup* KeyAndDelayAdapter::Group() const {
    if (!bound_ || *bound_ >= library_.groups.size()) {
        return nullptr;
    }
    return &library_.groups[*bound_];
}

int KeyAndDelayAdapter::StepCount() const {
    const kb::MacroGroup* group = Group();
    return group != nullptr ? static_cast<int>(group->steps.size()) : 0;
}

const kb::MacroStep* KeyAndDelayAdapter::StepAt(int row) const {
    const kb::MacroGroup* group = Group();
    if (group == nullptr || row < 0 || static_cast<std::size_t>(row) >= group->steps.size()) {
        return nullptr;
    }
    return &group->steps[static_cast<std::size_t>(row)];
}

void KeyAndDelayAdapter::Bind(std::optional<uint32_t> groupIndex) {
    bound_ = groupIndex;
    Refresh();
}

int KeyAndDelayAdapter::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int KeyAndDelayAdapter::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant KeyAndDelayAdapter::data(const QModelIndex& index, int role) const {
    const kb::MacroStep* step = index.isValid() ? StepAt(index.row()) : nullptr;
    if (step == nullptr) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return index.column() == kName ? QVariant() : QVariant(Qt::AlignCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        return {};
    }
    switch (index.column()) {
        case kCode:
            return QString::number(static_cast<int32_t>(step->code));
        case kName:
            return QString::fromStdU16String(step->name);
        case kState:
            return kb::ui::Tr(QString::fromLatin1(kb::StepStateCaption(step->state)));
        case kDelay:
            return QString::number(step->delay);
        default:
            return {};
    }
}

Qt::ItemFlags KeyAndDelayAdapter::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == kDelay) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool KeyAndDelayAdapter::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != kDelay || role != Qt::EditRole) {
        return false;
    }
    return !EditDelay(index.row(), value.toString()).has_value();
}

QVariant KeyAndDelayAdapter::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return section < captions_.size() ? captions_[section] : ColumnName(section);
}

QString KeyAndDelayAdapter::ColumnName(int column) {
    return QStringLiteral("col%1").arg(column + 1);
}

void KeyAndDelayAdapter::SetColumnCaptions(const QStringList& captions) {
    captions_ = captions;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

bool KeyAndDelayAdapter::SortRequest(int column) {
    return kb::ApplySortClick(column, marks_.data(), kColumns);
}

int KeyAndDelayAdapter::SortMark(int column) const {
    return column >= 0 && column < kColumns ? marks_[static_cast<std::size_t>(column)] : kb::kSortNone;
}

std::optional<QString> KeyAndDelayAdapter::EditDelay(int row, const QString& text) {
    const kb::MacroStep* found = StepAt(row);
    if (found == nullptr) {
        return std::nullopt;  // the row's step is gone: ignored
    }
    auto* step = const_cast<kb::MacroStep*>(found);
    if (text.trimmed() == u"-" || text.trimmed() == u"+") {
        // A number being typed: putting the old delay back here would turn "-5" typed over "25" into 255.
        return std::nullopt;
    }
    const std::optional<int32_t> value = kb::ParseDelayText(text.toStdU16String());
    if (!value) {
        return QString::number(step->delay);
    }
    if (*value != step->delay) {
        step->delay = *value;
        const QModelIndex cell = index(row, kDelay);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
    }
    return std::nullopt;
}

void KeyAndDelayAdapter::Append(uint32_t code, const std::u16string& name, int32_t state, int32_t delay) {
    kb::MacroGroup* group = Group();
    if (group == nullptr || code == 0) {
        return;
    }
    group->AppendStep(code, state, delay, name);
    Refresh();
}

bool KeyAndDelayAdapter::MoveUp(int row) {
    kb::MacroGroup* group = Group();
    if (group == nullptr || !group->MoveStepUp(row)) {
        return false;
    }
    Refresh();
    return true;
}

bool KeyAndDelayAdapter::MoveDown(int row) {
    kb::MacroGroup* group = Group();
    if (group == nullptr || !group->MoveStepDown(row)) {
        return false;
    }
    Refresh();
    return true;
}

void KeyAndDelayAdapter::Remove(uint32_t row) {
    if (kb::MacroGroup* group = Group()) {
        group->RemoveStep(row);
        Refresh();
    }
}

void KeyAndDelayAdapter::Clear() {
    if (kb::MacroGroup* group = Group()) {
        group->ClearSteps();
        Refresh();
    }
}

void KeyAndDelayAdapter::Refresh() {
    RefreshRows(*this, rows_, StepCount(), kColumns);
}

QWidget* StepDelayDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                         const QModelIndex& /*index*/) const {
    auto* edit = new SEditEx(parent);
    edit->setObjectName(QStringLiteral("key_delay"));
    edit->setFrame(false);
    edit->setAlignment(Qt::AlignCenter);
    edit->setProperty("role", QStringLiteral("cell"));
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit] { emit const_cast<StepDelayDelegate*>(this)->commitData(edit); });
    return edit;
}

void StepDelayDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit == nullptr) {
        return;
    }
    // "12ms" stays as typed while 12 is stored; only a text that means another value is replaced.
    const QString stored = index.data(Qt::EditRole).toString();
    const bool filled = edit->property("_kb_filled").toBool();
    if (!filled ||
        kb::ParseDelayText(edit->text().toStdU16String()) != kb::ParseDelayText(stored.toStdU16String())) {
        edit->setText(stored);
        edit->setProperty("_kb_filled", true);
    }
}

void StepDelayDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    auto* steps = qobject_cast<KeyAndDelayAdapter*>(model);
    if (edit == nullptr || steps == nullptr) {
        return;
    }
    if (const std::optional<QString> putBack = steps->EditDelay(index.row(), edit->text())) {
        edit->setText(*putBack);
    }
}

}  // namespace kb::assignment
