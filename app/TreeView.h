#pragma once
#include <QTreeWidget>
#include <functional>

namespace zyn {

// The desktop platform's tree view with the single-expand style, on top of the toolkit's tree:
// - a left click anywhere in the tree is one click: it selects the node under the pointer as the
//   button goes down (nothing when it goes down on empty space or a node's expand button) and
//   reports the click as the button comes up, however the rows have moved in between;
// - the selection is single and kept: no click or key clears it, modifiers change nothing, and
//   the other mouse buttons neither select nor click;
// - Enter or Space on the current node selects it and clicks, as a left click on it would;
// - making a node current expands it and collapses the node current before, unless that one is
//   an ancestor of the new node;
// - a text never ends in an ellipsis: the tree scrolls horizontally when it is wider than the pane.
class TTreeView : public QTreeWidget {
public:
    explicit TTreeView(QWidget* parent = nullptr);

    // A mouse click in the tree, or Enter or Space; keyboard moves of the selection do not
    // raise it.
    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void updateGeometries() override;

private:
    void SingleExpand(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void Press(const QPoint& position);

    bool FLeftPressed = false;
};

}  // namespace zyn
