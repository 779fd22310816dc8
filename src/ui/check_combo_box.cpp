#include "ui/check_combo_box.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace bc {

namespace {

QString defaultListSeparator()
{
    // A locale that writes decimals with a comma separates list items with a
    // semicolon; every other one with a comma.
    return QLocale().decimalPoint() == QStringLiteral(",") ? QStringLiteral(";")
                                                           : QStringLiteral(",");
}

} // namespace

// Draws and measures the list's items through the combo, so that derived
// editors change both by overriding DrawItem.
class CCheckComboBox::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(CCheckComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        painter->save();
        combo_->DrawItem(*painter, option.rect, index.row(),
                         option.state.testFlag(QStyle::State_Selected),
                         option.state.testFlag(QStyle::State_HasFocus));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        return QSize(base.width() + combo_->CheckBoxWidth(), combo_->ItemHeight());
    }

private:
    CCheckComboBox* combo_;
};

CCheckComboBox::CCheckComboBox(QWidget* parent)
    : QComboBox(parent), listSeparator_(defaultListSeparator())
{
    setEditable(false);
    setItemDelegate(new Delegate(this));
    // The popup's own filters are installed when the view is first asked for;
    // ours come later and so see the events first.
    QAbstractItemView* list = view();
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);

    QAbstractItemModel* m = model();
    connect(m, &QAbstractItemModel::rowsInserted, this, &CCheckComboBox::invalidateText);
    connect(m, &QAbstractItemModel::rowsRemoved, this, &CCheckComboBox::invalidateText);
    connect(m, &QAbstractItemModel::rowsMoved, this, &CCheckComboBox::invalidateText);
    connect(m, &QAbstractItemModel::dataChanged, this, &CCheckComboBox::invalidateText);
    connect(m, &QAbstractItemModel::modelReset, this, &CCheckComboBox::invalidateText);
}

CCheckComboBox::~CCheckComboBox() = default;

int CCheckComboBox::SetCheck(int index, bool checked)
{
    if (index < 0 || index >= count())
        return -1;
    setItemData(index, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    invalidateText();
    return 0;
}

int CCheckComboBox::GetCheck(int index) const
{
    if (index < 0 || index >= count())
        return -1;
    return itemData(index, Qt::CheckStateRole).toInt() != Qt::Unchecked ? 1 : 0;
}

void CCheckComboBox::CheckAll(bool checked)
{
    for (int i = 0; i < count(); ++i)
        setItemData(i, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    invalidateText();
}

void CCheckComboBox::SetListSeparator(const QString& separator)
{
    listSeparator_ = separator.left(9);
    invalidateText();
}

QString CCheckComboBox::GetText() const
{
    if (textValid_)
        return text_;
    QString separator = listSeparator_.isEmpty() ? QStringLiteral(";") : listSeparator_;
    while (separator.endsWith(QLatin1Char(' ')))
        separator.chop(1);
    separator += QLatin1Char(' ');

    QString text;
    bool first = true;
    for (int i = 0; i < count(); ++i) {
        if (GetCheck(i) == 0)
            continue;
        if (!first)
            text += separator;
        text += itemText(i);
        first = false;
    }
    text_ = text;
    textValid_ = true;
    return text_;
}

int CCheckComboBox::ItemHeight() const
{
    const QFontMetrics fm(font());
    return fm.height() + fm.leading() + 2;
}

int CCheckComboBox::CheckBoxWidth() const
{
    const QFontMetrics fm(font());
    return fm.height() + fm.leading() + 6;
}

void CCheckComboBox::DrawItem(QPainter& painter, const QRect& rect, int index, bool selected,
                              bool focused) const
{
    const QPalette& pal = palette();
    QRect textRect = rect;
    QString text;
    if (index >= 0) {
        // The square for the check mark always keeps the window colours.
        const QRect square(rect.left(), rect.top(), CheckBoxWidth(), rect.height());
        painter.fillRect(square, pal.color(QPalette::Base));
        QStyleOptionViewItem mark;
        mark.initFrom(this);
        mark.state =
            QStyle::State_Enabled | (GetCheck(index) != 0 ? QStyle::State_On : QStyle::State_Off);
        const int side = qMin(square.width(), square.height()) - 4;
        mark.rect = QRect(0, 0, side, side);
        mark.rect.moveCenter(square.center());
        style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &mark, &painter, this);
        textRect.setLeft(square.right() + 1);
        text = itemText(index);
    } else {
        text = GetText();
    }

    painter.fillRect(textRect, pal.color(selected ? QPalette::Highlight : QPalette::Base));
    painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.setFont(font());
    const QString shown =
        painter.fontMetrics().elidedText(QLatin1Char(' ') + text, Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);

    if (selected && focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect;
        focus.backgroundColor = pal.color(QPalette::Highlight);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void CCheckComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    DrawItem(painter, field, -1, hasFocus(), hasFocus());
}

bool CCheckComboBox::eventFilter(QObject* watched, QEvent* event)
{
    QAbstractItemView* list = view();
    if (watched == list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() != Qt::LeftButton)
                break;
            const QPoint pos = me->position().toPoint();
            const QModelIndex index = list->indexAt(pos);
            if (index.isValid() && list->visualRect(index).contains(pos))
                toggleFromList(index.row());
            return true;
        }
        case QEvent::MouseButtonRelease:
            // The list stays open.
            return true;
        default:
            break;
        }
    } else if (watched == list && event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Space && ke->modifiers() == Qt::NoModifier) {
            const QModelIndex current = list->currentIndex();
            if (current.isValid())
                toggleFromList(current.row());
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void CCheckComboBox::toggleFromList(int index)
{
    SetCheck(index, GetCheck(index) == 0);
    QAbstractItemView* list = view();
    list->viewport()->update(list->visualRect(model()->index(index, modelColumn())));
    emit checkToggled(index);
}

void CCheckComboBox::invalidateText()
{
    textValid_ = false;
    update();
}

} // namespace bc
