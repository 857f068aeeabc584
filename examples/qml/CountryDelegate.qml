import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// One row: code, name and size of a top-level item. Under a search it lists the first matching
// children through a partial view (a window of 8 rows) of the row's child filter view.
Rectangle {
    id: row

    property string itemId
    property string name
    property string detail
    property int childCount: 0
    property string childNoun
    property string childNounOne
    property string searchText
    property var matches: null
    property bool selected: false
    readonly property int shownMatches: 8
    readonly property var firstMatches: matches ? matches.GetPartialModel(shownMatches) : null
    readonly property bool ownMatch: searchText.length > 0
                                     && name.toLowerCase().indexOf(searchText.toLowerCase()) >= 0
    signal clicked()

    height: content.implicitHeight + 20
    radius: 6
    color: selected ? "#e0f2f1" : "white"
    border.color: selected ? Material.color(Material.Teal) : "#d5dde3"
    border.width: selected ? 2 : 1

    MouseArea {
        anchors.fill: parent
        onClicked: row.clicked()
    }

    ColumnLayout {
        id: content
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: 10 }
        spacing: 6

        RowLayout {
            spacing: 10
            Layout.fillWidth: true

            Rectangle {
                implicitWidth: codeLabel.implicitWidth + 12
                implicitHeight: codeLabel.implicitHeight + 4
                radius: 3
                color: "#37474f"
                Label {
                    id: codeLabel
                    anchors.centerIn: parent
                    text: row.itemId
                    color: "white"
                    font.family: "DejaVu Sans Mono"
                    font.pixelSize: 13
                }
            }
            Label {
                text: row.name
                font.pixelSize: 16
                font.bold: true
                color: "#263238"
            }
            Label {
                Layout.fillWidth: true
                text: row.detail
                elide: Text.ElideRight
                color: "#78909c"
            }
            Label {
                text: row.childCount === 0 ? qsTr("no %1").arg(row.childNoun)
                                           : qsTr("%1 %2").arg(row.childCount)
                                                 .arg(row.childCount === 1 ? row.childNounOne : row.childNoun)
                color: "#546e7a"
            }
        }

        Flow {
            Layout.fillWidth: true
            visible: row.searchText.length > 0
            spacing: 6

            Label {
                height: 24
                verticalAlignment: Text.AlignVCenter
                text: row.matches && row.matches.count > 0
                      ? qsTr("%1 matching:").arg(row.matches.count)
                      : (row.ownMatch ? qsTr("the name matches") : "")
                color: "#00796b"
                font.italic: true
            }
            Repeater {
                model: row.firstMatches
                delegate: Chip { text: model.nameRole; highlight: row.searchText }
            }
            Label {
                height: 24
                verticalAlignment: Text.AlignVCenter
                visible: !!row.matches && row.matches.count > row.shownMatches
                text: row.matches ? qsTr("+%1 more").arg(row.matches.count - row.shownMatches) : ""
                color: "#546e7a"
            }
        }
    }
}
