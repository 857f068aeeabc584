import QtQuick 2.15
import QtTest 1.15
import com.zephora.izephtreemodel 1.0

// The group, paging and partial views as QML lists show them: a list of groups with a nested Repeater
// over each member model, a list over a paging view whose page is written from QML, and a list over
// the partial view whose window is moved through the model's firstPartialModelRow.
Item {
    id: root
    width: 400
    height: 800

    // Views and sources handed to JavaScript stay referenced here while a test runs.
    property var source: null
    property var view: null

    Component {
        id: groupListComponent
        ListView {
            width: 200
            height: 400
            delegate: Column {
                property string value: nameRole
                property alias memberCount: members.count
                function memberId(i) { return members.itemAt(i).text }
                Text { text: nameRole }
                Repeater {
                    id: members
                    model: childModelRole
                    delegate: Text { text: idRole }
                }
            }
        }
    }

    Component {
        id: plainListComponent
        ListView {
            width: 200
            height: 800
            delegate: Text { height: 10; text: idRole }
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    Component {
        id: pageBindingComponent
        QtObject {
            property var paging: null
            property int shownPage: paging ? paging.page : -1
            property int pages: paging ? paging.totalPage : -1
        }
    }

    TestCase {
        name: "Views"
        when: windowShown

        function cleanup() {
            root.view = null
            root.source = null
        }

        // "0:n0 1:n1 ..." for `count` rows.
        function numbered(count) {
            var shape = []
            for (var i = 0; i < count; ++i)
                shape.push(i + ":n" + i)
            return shape.join(" ")
        }

        // The groups as the delegates show them: "a[1 3] b[2]".
        function shownGroups(list) {
            list.forceLayout()
            var parts = []
            for (var i = 0; i < list.count; ++i) {
                var delegate = list.itemAtIndex(i)
                var ids = []
                for (var j = 0; j < delegate.memberCount; ++j)
                    ids.push(delegate.memberId(j))
                parts.push(delegate.value + "[" + ids.join(" ") + "]")
            }
            return parts.join(" ")
        }

        function shownIds(list) {
            list.forceLayout()
            var ids = []
            for (var i = 0; i < list.count; ++i)
                ids.push(list.itemAtIndex(i).text)
            return ids.join(" ")
        }

        function test_groupViewWithNestedRepeater() {
            root.source = testHost.makeTree("1:a 2:b 3:a")
            root.view = root.source.GetGroupModel("nameRole")
            var list = createTemporaryObject(groupListComponent, root, { model: root.view })
            compare(shownGroups(list), "a[1 3] b[2]")

            root.source.FindItem("2").setData("nameRole", "a")
            compare(list.count, 1)
            compare(shownGroups(list), "a[1 3 2]")

            root.source.FindItem("3").setData("nameRole", "c")
            compare(shownGroups(list), "a[1 2] c[3]")

            root.source.RemoveOne("3")
            compare(shownGroups(list), "a[1 2]")

            verify(root.view.UpdateGroupRole("idRole"))
            compare(shownGroups(list), "1[1] 2[2]")
            compare(root.view.get(0).childModelRole.count, 1)

            root.source.clear()
            compare(list.count, 0)
        }

        function test_pagingViewPageWrittenFromQml() {
            root.source = testHost.makeTree(numbered(25))
            root.view = root.source.GetPagingModel(10)
            var list = createTemporaryObject(plainListComponent, root, { model: root.view })
            var pageSpy = createTemporaryObject(spyComponent, root, { target: root.view, signalName: "pageChanged" })
            var bound = createTemporaryObject(pageBindingComponent, root, { paging: root.view })
            compare(root.view.totalPage, 3)
            compare(bound.pages, 3)
            compare(shownIds(list), "0 1 2 3 4 5 6 7 8 9")

            root.view.page = 2
            compare(root.view.page, 2)
            compare(bound.shownPage, 2)
            compare(pageSpy.count, 1)
            compare(pageSpy.signalArguments[0][0], 2)
            compare(list.count, 5)
            compare(shownIds(list), "20 21 22 23 24")

            // Pages outside the bounds are ignored.
            root.view.page = 3
            root.view.page = -1
            compare(root.view.page, 2)
            compare(pageSpy.count, 1)

            // The shown page disappears with its rows; the view moves to the new last page.
            root.source.Remove(20, 24)
            compare(bound.pages, 2)
            compare(bound.shownPage, 1)
            compare(list.count, 10)
            compare(shownIds(list), "10 11 12 13 14 15 16 17 18 19")

            // Out of the view's own rows there is nothing, and its empty list refuses removals.
            compare(Object.keys(root.view.get(10)).length, 0)
            verify(!root.view.Remove(0, 2))
            root.view.MoveRow(0, 1)
            compare(root.source.count, 20)
            // The view and its source are collected later; this spy must not hear about it.
            pageSpy.target = null
        }

        function test_partialViewMovedFromQml() {
            root.source = testHost.makeTree(numbered(100))
            var partial = root.source.GetPartialModel(5)
            var list = createTemporaryObject(plainListComponent, root, { model: partial })
            var firstSpy = createTemporaryObject(spyComponent, root,
                                                 { target: root.source, signalName: "firstPartialModelRowChanged" })
            compare(shownIds(list), "0 1 2 3 4")

            root.source.firstPartialModelRow = 40
            compare(root.source.firstPartialModelRow, 40)
            compare(firstSpy.count, 1)
            compare(shownIds(list), "40 41 42 43 44")

            root.source.firstPartialModelRow = 98
            compare(partial.count, 2)
            compare(shownIds(list), "98 99")

            root.source.firstPartialModelRow = 500
            compare(root.source.firstPartialModelRow, 99)
            compare(shownIds(list), "99")

            root.source.SetPartialModelCount(0)
            compare(list.count, 0)
            firstSpy.target = null

            // The window stays the model's: dropping every reference and collecting leaves it alive.
            partial = null
            list.model = null
            gc()
            wait(0)
            var again = root.source.GetPartialModel(3)
            compare(again.count, 1)
            compare(again.get(0).idRole, "99")
        }
    }
}
