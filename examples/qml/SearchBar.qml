import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// The search field and the number of matches. Every edit becomes new rules of the filter view.
Pane {
    id: bar

    property alias text: field.text
    property int matchCount: 0
    property int totalCount: 0
    property string noun
    signal edited(string text)

    padding: 12
    background: Rectangle {
        color: "white"
        Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: "#cfd8dc" }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 16

        Label {
            text: qsTr("ZEPHTreeModel")
            font.pixelSize: 22
            font.bold: true
            color: Material.color(Material.BlueGrey, Material.Shade800)
        }
        TextField {
            id: field
            Layout.preferredWidth: 380
            placeholderText: qsTr("Search names (countries and subdivisions)")
            selectByMouse: true
            onTextChanged: bar.edited(text)
        }
        Label {
            Layout.fillWidth: true
            text: qsTr("%1 of %2 %3").arg(bar.matchCount).arg(bar.totalCount).arg(bar.noun)
            font.pixelSize: 15
            color: Material.color(Material.Grey, Material.Shade700)
        }
    }
}
