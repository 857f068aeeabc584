import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15

// The children of the selected item in groups: a group view over the item's child model, one
// section per distinct value of the chosen role, each listing its members from the group's member
// model. Choosing another role regroups the same view in place.
Pane {
    id: panel

    property var treeModel: null
    property string itemId
    property string childNoun
    property var groupView: null
    property string groupRole: "typeRole"
    readonly property var childModel: treeModel && itemId ? treeModel.FindItemValue(itemId, "childModelRole") : null
    readonly property string title: treeModel && itemId ? treeModel.FindItemValue(itemId, "nameRole") || "" : ""
    readonly property var choices: [
        { text: qsTr("Type"), role: "typeRole" },
        { text: qsTr("Initial"), role: "initialRole" },
        { text: qsTr("Parent"), role: "parentRole" }
    ]

    function regroup() {
        groupView = childModel ? childModel.GetGroupModel(groupRole) : null
    }

    padding: 14
    background: Rectangle { color: "white"; radius: 6; border.color: "#d5dde3" }
    onChildModelChanged: regroup()
    Component.onCompleted: regroup()

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            Label {
                Layout.fillWidth: true
                text: panel.title.length > 0 ? panel.title : qsTr("Select a row")
                font.pixelSize: 20
                font.bold: true
                elide: Text.ElideRight
                color: "#263238"
            }
            Label { text: qsTr("Group by"); color: "#546e7a" }
            ComboBox {
                id: roleBox
                model: panel.choices
                textRole: "text"
                currentIndex: panel.choices.findIndex(choice => choice.role === panel.groupRole)
                onActivated: {
                    panel.groupRole = panel.choices[index].role
                    if (panel.groupView)
                        panel.groupView.UpdateGroupRole(panel.groupRole)
                }
            }
        }
        Label {
            text: panel.childModel
                  ? qsTr("%1 %2 in %3 groups").arg(panel.childModel.count).arg(panel.childNoun)
                        .arg(panel.groupView ? panel.groupView.count : 0)
                  : qsTr("no %1").arg(panel.childNoun)
            color: "#546e7a"
        }

        ListView {
            id: groups
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 12
            boundsBehavior: Flickable.StopAtBounds
            model: panel.groupView
            ScrollBar.vertical: ScrollBar {}

            delegate: Column {
                id: group
                property var members: model.childModelRole
                width: groups.width - 10
                spacing: 6

                Label {
                    text: qsTr("%1  ·  %2").arg(model.nameRole.length > 0 ? model.nameRole : qsTr("(none)"))
                                            .arg(group.members ? group.members.count : 0)
                    font.pixelSize: 15
                    font.bold: true
                    color: Material.color(Material.Teal, Material.Shade700)
                }
                Flow {
                    width: parent.width
                    spacing: 5
                    Repeater {
                        model: group.members
                        delegate: Chip { text: model.nameRole }
                    }
                }
            }
        }
    }
}
