#pragma once

#include "protocol/MonitorEffects.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace vorn {

// The colour a status panel shows for a protocol colour.
QColor toQColor(PanelColour colour);

// A raised panel with a centred caption, a background colour and a tag; it
// reports clicks.
class Panel : public QLabel {
    Q_OBJECT
public:
    explicit Panel(QWidget* parent, const QString& caption = {});

    QString caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }
    QColor color() const;
    void setColor(const QColor& color);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // The system's button-face colour, the colour of a panel at rest.
    static QColor buttonFace();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int tag_ = 0;
    bool pressed_ = false;
};

// A titled group of exclusive choices whose selection can also be "none" (-1).
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(QWidget* parent, const QString& title, const QStringList& items, int columns = 1);

    int count() const { return static_cast<int>(buttons_.buttons().size()); }
    int itemIndex() const { return buttons_.checkedId(); }
    // Below -1 means none; at or above the item count means the last item.
    void setItemIndex(int index);

private:
    QButtonGroup buttons_;
};

// A drop-down list that also takes typed text. Its selection is the entry
// whose text is shown, or -1 when the shown text is no entry.
class ChoiceBox : public QComboBox {
    Q_OBJECT
public:
    ChoiceBox(QWidget* parent, const QStringList& items, int index);

    int itemIndex() const;
    // An index outside the entries leaves the list with no selection.
    void setItemIndex(int index);
};

// Shows an image one to one; it is redrawn when told that the image changed.
class ImageView : public QWidget {
    Q_OBJECT
public:
    ImageView(QWidget* parent, const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& image_;
};

} // namespace vorn
