import QtQuick 2.15
import QtTest 1.15
import com.zephora.izephtreemodel 1.0
import com.zephora.zephtreeitem 1.0

// What only QML shows: the invokables' short default-argument forms and the overloads QML picks by
// argument type, enumerations, rules written as script objects, script values as user rules, views
// bound to a list whose delegates read roles and child models, and calls with bad argument types,
// which QML coerces or refuses.
Item {
    id: root
    width: 300; height: 800

    // Models and views handed to JavaScript stay referenced here while a test runs.
    property var source: null
    property var view: null
    property var keep: []

    ListView {
        id: list
        anchors.fill: parent
        model: root.view
        // Each delegate reads the ID role and shows its row's child model through a nested Repeater.
        delegate: Column {
            property string key: idRole
            property alias kids: kids
            Repeater { id: kids; model: childModelRole; Text { text: idRole } }
        }
    }

    TestCase {
        name: "Qml"
        when: windowShown

        function cleanup() {
            root.view = root.source = null
            root.keep = []
            gc()
        }

        // "A[B C] D" as the delegates show the rows.
        function shown() {
            list.forceLayout()
            return Array.from({ length: list.count }, (_, i) => {
                var d = list.itemAtIndex(i), k = Array.from({ length: d.kids.count }, (_, j) => d.kids.itemAt(j).text)
                return d.key + (k.length ? "[" + k.join(" ") + "]" : "")
            }).join(" ")
        }

        // The IDs of any model or view, read through get().
        function ids(m) { return Array.from({ length: m.count }, (_, i) => m.get(i).idRole).join(" ") }

        // Each row runs on a fresh "A:b[B:y C:x] D:c E:a" (A holds B and C) and answers what it found.
        function test_shortFormsAndOverloads() {
            var rule = (role, code, value) => ({ RoleName: role, Rule: code, Value: value })
            var either = [rule("nameRole", IZEPHTreeModel.Eq, "a"), rule("idRole", IZEPHTreeModel.Eq, "D")]
            var both = [{ RoleName: "nameRole", Rules: [{ Rule: IZEPHTreeModel.Lt, Value: "c" },
                                                        { Rule: IZEPHTreeModel.Lt, Value: "b" }] }]
            var byName = [{ RoleName: "nameRole", Ascending: true }]
            var table = [
                [m => [m.FindItemValue(0, ZEPHTreeItem.NameRole), m.FindItemValue(1, "nameRole"),
                       m.FindItemValue("E", 257), m.FindItemValue("A", "nameRole")], ["b", "c", "E", "b"]],
                [m => [m.FindItemValue(0, 260).nameRole, m.FindItemValue(0, "childModelRole").count,
                       m.FindItemValueEx("C", 258, true), m.FindItemValueEx("B", "idRole", false)],
                 ["b", 2, "x", undefined]],
                [m => [m.FindItem("B"), m.FindItem("B", true).getData("nameRole"), m.FindItem(1).getData(257)],
                 [null, "y", "D"]],
                [m => [Object.keys(m.get(0)).sort().join(), m.get(0).childModelRole.get(1).nameRole],
                 ["childModelRole,idRole,nameRole", "x"]],
                [m => { var it = m.FindItem(0); it.setData("nameRole", "n"); it.setData(258, it.getData(258) + 2)
                        return m.get(0).nameRole + it.getData(260).nameRole }, "n2n2"],
                [m => { m.SortByRole("nameRole", true); var up = ids(m); m.SortByRole(ZEPHTreeItem.IdRole, false)
                        return [up, ids(m)] }, ["E A D", "E D A"]],
                [m => { m.SortByRoleAndKeep("nameRole", false); testHost.append(m, "F:bb"); return ids(m) }, "D F A E"],
                [m => { m.SortByRules(byName); testHost.append(m, "F:bb"); return ids(m) }, "E A D F"],
                [m => { m.SortByRules(byName, IZEPHTreeModel.RecursiveKeepSorting); return testHost.dump(m) },
                 "E A[C B] D"],
                [m => [ids(m.GetFilterModel()), ids(m.GetFilterModelByUserDefinedRules())], ["A D E", "A D E"]],
                [m => ids(m.GetFilterModel([rule("nameRole", IZEPHTreeModel.InsensitiveSubStr, "X")])), "A"],
                [m => [ids(m.GetFilterModel(either)), ids(m.GetFilterModel(either, false)), ids(m.GetFilterModel(both, true))],
                 ["D E", "", "E"]],
                [m => { var v = m.GetFilterModel([], 1, IZEPHTreeModel.POS_HEAD); testHost.append(m, "F G")
                        return ids(v) }, "F G A D E"],
                [m => [testHost.dump(m.GetGroupModel("nameRole")), testHost.dump(m.GetGroupModel(257))],
                 ["b[A[B C]] c[D] a[E]", "A[A[B C]] D[D] E[E]"]],
                [m => { var p = m.GetPagingModel(2); return [p.totalPage, p.page, ids(p), ids(m.GetPartialModel(2))] },
                 [2, 0, "A D", "A D"]],
                [m => { var it = Qt.createQmlObject("import com.zephora.zephtreeitem 1.0; ZEPHTreeItem {}", root)
                        var before = JSON.stringify(it.getData(260)); it.setData("idRole", "Q")
                        return [before, it.getData(260).idRole, it.getData(257)] }, ["{}", "Q", "Q"]],
            ]
            for (var i = 0; i < table.length; ++i) {
                root.source = testHost.makeTree("A:b[B:y C:x] D:c E:a")
                compare(table[i][0](root.source), table[i][1], "row " + i)
            }
        }

        function test_viewsInAList() {
            root.source = testHost.makeTree("a1 b a2 c[x a3] d")
            root.view = root.source.GetFilterModel([{ RoleName: "nameRole", Rule: IZEPHTreeModel.SubStr, Value: "a" }])
            // The child model of a filter view's row is a filter view with the same rules.
            compare(shown(), "a1 a2 c[a3]")
            var changes = 0
            root.view.filterModelChanged.connect(() => ++changes)
            var rules = [{ RoleName: "nameRole", OrAllRules: true, Rules: [{ Rule: IZEPHTreeModel.Eq, Value: "b" },
                           { Rule: IZEPHTreeModel.InsensitiveSubStr, Value: "D" }] }]
            verify(root.view.UpdateFilterRules(rules) && root.view.UpdateFilterRules(rules, true))
            compare([shown(), changes], ["b d", 1])

            // A script object as a user rule value: the same value again changes nothing.
            root.view = root.source.GetFilterModelByUserDefinedRules({ any: [1, "x"] }, IZEPHTreeModel.POS_HEAD)
            root.view.filterModelChanged.connect(() => ++changes)
            verify(root.view.UpdateUserDefinedFilterRules({ b: { c: [2] } }))
            verify(root.view.UpdateUserDefinedFilterRules({ b: { c: [2] } }))
            verify(root.view.UpdateUserDefinedFilterRules())
            testHost.append(root.source, "h")
            compare([shown(), changes], ["h a1 b a2 c[x a3] d", 3])

            root.source = testHost.makeTree("1:a 2:b 3:a")
            root.view = root.source.GetGroupModel("nameRole")
            root.source.FindItem("2").setData("nameRole", "a")
            compare(shown(), "a[1 3 2]")
        }

        // Every call throws (QML refused an argument) or answers the fallback, and nothing crashes.
        function test_badArguments() {
            var rows = [-1, -2147483648, 2147483647, 1e12, -1e12, 4294967295]
            var keys = [null, undefined, "", "zz", true, {}, [], [1, [2]], function () {}, root]
            var any = rows.concat(keys, [NaN, Infinity, "x", [{ Rule: "" }], [{ Rules: 5 }], [{ Rules: [null, 3, {}] }],
                                         [{ RoleName: "nameRole", Rule: 6, Value: { deep: [[["x"]]] } }]])
            var s = root.source = testHost.makeTree("A:a[B:b] C:c D:ab E:a")
            root.keep = [s.GetFilterModel([{ RoleName: "nameRole", Rule: 6, Value: "a" }]), s.GetGroupModel("nameRole"),
                         s.GetPagingModel(2), s.GetPartialModel(3)]
            var table = [
                [(m, v) => m.FindItemID(v), rows, ""],
                [(m, v) => m.FindItemID(v) === m.FindItemID(0), [NaN, null, "x", false], true],
                [(m, v) => [m.FindItem(v), m.FindItem(v + "?", true), m.FindItemValue(v, "idRole"), m.FindItemValue(v, 257)],
                 rows.concat(keys), [null, null, null, null]],
                [(m, v) => m.FindItemValueEx("C", v, true), keys.concat([9999, -1, "noSuchRole"]), undefined],
                [(m, v) => [m.get(v), root.keep[3].get(v)], rows, [{}, {}]],
                [(m, v) => m.Remove(v, 0) || m.Remove(0, v) || m.Remove(v, v), rows, false],
                [(m, v) => m.RemoveOne(v) || m.FindItemRow(v), keys, -1],
                [(m, v) => { m.MoveRow(v, 0); m.MoveRow(0, v) }, rows, undefined],
                [(m, v) => { m.SortByRules(v, v); m.SortByRole(v, true); m.SortByRoleAndKeep(v, v) }, any, undefined],
                [(m, v) => { m.SortByRoleByQMLFunction("nameRole", true, v, "f")
                             m.SortByRoleByScriptFunction(258, v, v, v) }, ["/none", null, "/dev/null", 5], undefined],
                [(m, v) => [m.GetFilterModel(v, v, v), m.GetGroupModel(v, v), m.GetPagingModel(v)]
                           .every(w => w.count <= m.count) && m.GetFilterModelByUserDefinedRules(v).count === m.count,
                 any, true],
                [(m, v) => m.GetPartialModel(v) === root.keep[3] || m !== s, any, true],
                [(m, v) => [m.UpdateFilterRules(v, v), m.UpdateUserDefinedFilterRules(v), m.UpdateGroupRole(v)]
                           .every(ok => ok === false) || m !== s, any, true],
                [(m, v) => { m.page = v; return m.totalPage ? m.page >= 0 && m.page < m.totalPage : m.page === -1 },
                 any, true],
                [(m, v) => { m.firstPartialModelRow = v; m.SetPartialModelCount(v)
                             return m.firstPartialModelRow >= 0 && m.firstPartialModelRow < m.count }, any, true],
            ]
            for (var i = 0; i < table.length; ++i) {
                var answered = 0
                for (var m of [s, root.keep[0], root.keep[1], root.keep[2]])
                    for (var v of table[i][1]) {
                        try { var r = table[i][0](m, v) } catch (e) { continue }
                        ++answered
                        compare(JSON.stringify(r), JSON.stringify(table[i][2]), "row " + i + ": " + String(v))
                    }
                verify(answered > 0, "row " + i + " was always refused")
            }
            compare(ids(s).split(" ").sort().join(" "), "A C D E")
        }
    }
}
