import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import com.zephora.izephtreemodel 1.0

// The demo's window. The host hands over its tree model; everything shown is a view of it made
// here: a filter view for the search (kept sorted by name), a paging view over the filter view, and
// in the parts below child filter views, partial views and a group view.
ApplicationWindow {
    id: window

    // Set by the host before the window is created.
    property var treeModel: null
    property bool isoData: true
    property string initialSearch: ""
    property string initialFocus: ""
    property int initialPageSize: 6

    property var filterView: null
    property var pagingView: null
    property int pageSize: initialPageSize
    property string selectedId: initialFocus
    readonly property string topNoun: isoData ? qsTr("countries") : qsTr("items")
    readonly property string childNoun: isoData ? qsTr("subdivisions") : qsTr("children")
    readonly property string childNounOne: isoData ? qsTr("subdivision") : qsTr("child")

    // One rule: the name contains the text, ignoring case. Items whose descendants match stay too.
    function searchRules(text) {
        if (text.length === 0)
            return []
        return [{ RoleName: "nameRole", Rule: IZEPHTreeModel.InsensitiveSubStr, Value: text }]
    }

    function makePagingView(size) {
        pageSize = size
        pagingView = filterView ? filterView.GetPagingModel(size) : null
    }

    visible: true
    title: qsTr("ZEPHTreeModel demo")
    color: "#eef1f4"
    Material.theme: Material.Light
    Material.accent: Material.Teal
    Material.primary: Material.BlueGrey

    Component.onCompleted: {
        if (!treeModel)
            return
        filterView = treeModel.GetFilterModel(searchRules(initialSearch), true)
        if (filterView)
            filterView.SortByRules([{ RoleName: "nameRole", Ascending: true }], IZEPHTreeModel.KeepSorting)
        makePagingView(pageSize)
    }

    header: SearchBar {
        id: searchBar
        text: window.initialSearch
        matchCount: window.filterView ? window.filterView.count : 0
        totalCount: window.treeModel ? window.treeModel.count : 0
        noun: window.topNoun
        onEdited: {
            if (window.filterView)
                window.filterView.UpdateFilterRules(window.searchRules(text), true)
        }
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 12

        CountryList {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 3
            model: window.pagingView
            searchText: searchBar.text
            selectedId: window.selectedId
            childNoun: window.childNoun
            childNounOne: window.childNounOne
            detailRole: window.isoData ? "officialNameRole" : "typeRole"
            onActivated: window.selectedId = itemId
        }

        GroupPanel {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredWidth: 2
            treeModel: window.treeModel
            itemId: window.selectedId
            childNoun: window.childNoun
        }
    }

    footer: PagerBar {
        pagingView: window.pagingView
        pageSize: window.pageSize
        onPageSizeChosen: window.makePagingView(size)
    }
}
