import QtQuick 2.15
import QtQuick.Controls 2.15

// The page of top-level items that the paging view shows. Under a search each row also gets its
// child model as the filter view sees it: a child filter view holding only the matching children.
ListView {
    id: list

    property string searchText
    property string selectedId
    property string childNoun
    property string childNounOne
    property string detailRole: "typeRole"
    signal activated(string itemId)

    clip: true
    spacing: 8
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar {}

    delegate: CountryDelegate {
        width: list.width - 10
        itemId: model.idRole
        name: model.nameRole
        detail: model[list.detailRole] || ""
        childCount: model.childCountRole || 0
        childNoun: list.childNoun
        childNounOne: list.childNounOne
        searchText: list.searchText
        matches: list.searchText.length > 0 ? model.childModelRole : null
        selected: model.idRole === list.selectedId
        onClicked: list.activated(itemId)
    }

    Label {
        anchors.centerIn: parent
        visible: list.count === 0
        text: qsTr("Nothing matches")
        font.pixelSize: 16
        color: "#78909c"
    }
}
