#include "platform/desktop/GroupFrame.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>

namespace platform {
namespace {

// The title starts where the boxes' controls do, so the frame's corner stays visible before it.
constexpr int TitleIndent = 8;
// The frame line stops this far before and after the title.
constexpr int TitleGap = 2;

class GroupFrameStyle : public QProxyStyle {
public:
    // Only the group boxes get this style, so it keeps the application's for everything else.
    GroupFrameStyle() : QProxyStyle(QApplication::style()->name()) {}

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        if (control == CC_GroupBox && part == SC_GroupBoxLabel)
            rect.translate(TitleIndent, 0);
        return rect;
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QRect frame = box->rect.adjusted(0, 0, -1, -1);
        QRegion lineArea(box->rect);
        if (!box->text.isEmpty()) {
            const QRect title = subControlRect(control, box, SC_GroupBoxLabel, widget);
            frame.setTop(title.center().y());
            lineArea -= title.adjusted(-TitleGap, 0, TitleGap, 0);
        }
        painter->save();
        painter->setClipRegion(lineArea);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(box->palette.color(QPalette::Mid));
        painter->setBrush(Qt::NoBrush);
        // Half a pixel in, so that the line covers whole pixels at every scale.
        painter->drawRoundedRect(QRectF(frame).translated(0.5, 0.5), 2, 2);
        painter->restore();

        QStyleOptionGroupBox rest(*box);
        rest.subControls &= ~SC_GroupBoxFrame;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
    }
};

} // namespace

void SetTitleIntoFrame(QGroupBox* box)
{
    // One for all boxes: each proxy makes a base style of its own. The application owns it, since
    // setStyle does not take ownership.
    static QPointer<GroupFrameStyle> shared;
    if (!shared) {
        shared = new GroupFrameStyle;
        shared->setParent(qApp);
    }
    box->setStyle(shared);
}

} // namespace platform
