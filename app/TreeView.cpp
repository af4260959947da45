#include "app/TreeView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace zyn {

namespace {

bool IsAncestor(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent()) {
        if (p == ancestor) return true;
    }
    return false;
}

}  // namespace

TTreeView::TTreeView(QWidget* parent) : QTreeWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The one column is as wide as the pane or as its widest text; updateGeometries keeps it so.
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::currentItemChanged, this, &TTreeView::SingleExpand);
}

void TTreeView::SingleExpand(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (current) current->setExpanded(true);
    if (previous && previous != current && !(current && IsAncestor(previous, current))) {
        previous->setExpanded(false);
    }
}

// Selecting here, on the press, and never again until the release: the single-expand style may
// move the rows under the pointer before the button comes up.
void TTreeView::Press(const QPoint& position) {
    FLeftPressed = true;
    setFocus(Qt::MouseFocusReason);
    QTreeWidgetItem* item = itemAt(position);
    if (!item) return;
    const QRect rect = visualItemRect(item);
    if (position.x() >= rect.left()) {
        setCurrentItem(item);  // also when it is current already: it may have lost the selection
    } else if (position.x() >= rect.left() - indentation() && item->childCount() > 0) {
        item->setExpanded(!item->isExpanded());  // the node's expand button
    }
}

void TTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Press(event->position().toPoint());
    event->accept();
}

void TTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is one more click.
    mousePressEvent(event);
}

void TTreeView::mouseMoveEvent(QMouseEvent* event) {
    // No selecting by dragging; hover feedback still follows a free pointer.
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void TTreeView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !FLeftPressed) return;
    FLeftPressed = false;
    if (OnClick) OnClick();
}

void TTreeView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain || !(key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) || !currentItem()) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    setCurrentItem(currentItem());  // it may have lost the selection
    if (OnClick) OnClick();
}

QItemSelectionModel::SelectionFlags TTreeView::selectionCommand(const QModelIndex& index,
                                                                const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags command = QTreeWidget::selectionCommand(index, event);
    // Ctrl+Space would take the selection away from the only selected node.
    if (command & QItemSelectionModel::Deselect) return QItemSelectionModel::NoUpdate;
    return command;
}

void TTreeView::updateGeometries() {
    // A stretched section never gets narrower than the minimum: the widest visible text.
    const int widest = std::max(sizeHintForColumn(0), 0);
    if (header()->minimumSectionSize() != widest && widest > 0) header()->setMinimumSectionSize(widest);
    QTreeWidget::updateGeometries();
}

}  // namespace zyn
