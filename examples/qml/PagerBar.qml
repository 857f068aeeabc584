import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// Moves the paging view through its pages (its page property) and picks the page size, for which
// the window makes a new paging view.
Pane {
    id: bar

    property var pagingView: null
    property int pageSize: 6
    readonly property var sizes: [6, 12, 25, 50]
    signal pageSizeChosen(int size)

    padding: 6
    leftPadding: 12
    rightPadding: 12
    background: Rectangle {
        color: "white"
        Rectangle { anchors.top: parent.top; width: parent.width; height: 1; color: "#cfd8dc" }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 12

        Button {
            text: qsTr("Previous")
            flat: true
            enabled: bar.pagingView !== null && bar.pagingView.page > 0
            onClicked: bar.pagingView.page = bar.pagingView.page - 1
        }
        Label {
            text: bar.pagingView
                  ? qsTr("Page %1 of %2").arg(bar.pagingView.page + 1).arg(Math.max(1, bar.pagingView.totalPage))
                  : ""
            font.pixelSize: 15
            color: "#263238"
        }
        Button {
            text: qsTr("Next")
            flat: true
            enabled: bar.pagingView !== null && bar.pagingView.page + 1 < bar.pagingView.totalPage
            onClicked: bar.pagingView.page = bar.pagingView.page + 1
        }
        Label {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("tree model → filter view → paging view · rows: child filter + partial views · right: group view")
            color: "#90a4ae"
            elide: Text.ElideRight
        }
        Label { text: qsTr("Rows per page"); color: "#546e7a" }
        ComboBox {
            model: bar.sizes
            currentIndex: Math.max(0, bar.sizes.indexOf(bar.pageSize))
            onActivated: bar.pageSizeChosen(bar.sizes[index])
        }
    }
}
