#pragma once
// A drop-down list whose items carry check marks. Clicking an item, or
// pressing the space bar on it, toggles its check while the list stays open;
// the closed combo shows the texts of the checked items joined by the list
// separator. The grid's check-combo editors derive from it and reuse its item
// drawing and measuring.
//
// Items are added with QComboBox's own addItem/insertItem. An item's check
// state is kept in the item's Qt::CheckStateRole data as Qt::Checked or
// Qt::Unchecked. Every combo serves its own list, so several may be open in turn
// without handing a shared list over.

#include <QComboBox>
#include <QString>

namespace bc {

class CCheckComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CCheckComboBox(QWidget* parent = nullptr);
    ~CCheckComboBox() override;

    // Sets the check of item `index`. Returns 0, or -1 for an index outside
    // the list. On success the shown text is recomputed and the combo repaints.
    int SetCheck(int index, bool checked);
    // The check of item `index`: 0 when unchecked or never set, 1 when
    // checked, -1 for an index outside the list.
    int GetCheck(int index) const;
    // Sets every item.
    void CheckAll(bool checked);

    // The text the closed combo shows: the checked items' texts in list order,
    // joined by the list separator with trailing blanks removed and one blank
    // appended ("a, c" for the separator ",").
    QString GetText() const;

    // The list separator. By default that of the user's locale: ";" where the
    // locale writes decimals with a comma, "," otherwise. At most 9 characters
    // are kept; an empty separator joins with ";".
    void SetListSeparator(const QString& separator);
    QString GetListSeparator() const { return listSeparator_; }

    // Height of one list item: the font's height + its leading + 2 pixels.
    int ItemHeight() const;
    // Width of the square left of an item's text that holds its check mark:
    // the font's height + its leading + 6 pixels.
    int CheckBoxWidth() const;

    // Draws item `index` into `rect`: for a list item (index >= 0) its check
    // square and text; for the closed field (index < 0) the joined text.
    // Selected items use the highlight colours; a focus rectangle is drawn
    // when the item is both selected and focused.
    virtual void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected,
                          bool focused) const;

signals:
    // An item's check was toggled from the open list (by click or space bar).
    void checkToggled(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Delegate;

    void toggleFromList(int index);
    void invalidateText();

    QString listSeparator_;
    mutable QString text_;
    mutable bool textValid_ = false;
};

} // namespace bc
