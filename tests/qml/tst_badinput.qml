import QtQuick 2.15
import QtTest 1.15
import com.zephora.izephtreemodel 1.0

// Every invokable of the model and of its views called from QML with wrong argument types, null,
// undefined, negative and huge rows, unknown role names and rule values that are not lists. Nothing
// may crash; where the call gets through, the documented fallback comes back, and the model keeps
// its rows. A call QML itself refuses (an argument it cannot convert) throws a script error, which
// is an answer too.
TestCase {
    id: testCase
    name: "BadInput"

    property var source: null
    property var views: []
    property int calls: 0

    // NaN and infinities convert to row 0 on their way into C++ (a valid row, checked on its own below).
    readonly property var badRows: [-1, -2147483648, 2147483647, 4, 1e12, -1e12, 4294967295]
    // Values that are no ID of the tree; numbers pick the by-row overloads, so they are left out.
    readonly property var oddValues: [null, undefined, "", "3", true, {}, [], [1, [2]],
        ({ RoleName: "nameRole" }), function () { return 1 }, testCase]

    function init() {
        source = testHost.makeTree("A:a[B:b] C:c D:ab E:a")
        views = [source.GetFilterModel([{ RoleName: "nameRole", Rule: 6, Value: "a" }]),
                 source.GetGroupModel("nameRole"), source.GetPagingModel(2), source.GetPartialModel(3)]
    }

    function cleanupTestCase() {
        console.info("bad-input calls made:", calls)
    }

    function cleanup() {
        views = []
        source = null
        gc()
    }

    // Runs `call`; answers { threw, value }.
    function attempt(call) {
        ++calls
        try {
            return { threw: false, value: call() }
        } catch (e) {
            return { threw: true, value: e }
        }
    }

    // Every model that a test drives: the source and its four views.
    function subjects() {
        return [{ name: "source", model: source }, { name: "filter", model: views[0] },
                { name: "group", model: views[1] }, { name: "paging", model: views[2] },
                { name: "partial", model: views[3] }]
    }

    function test_lookupsAnswerFallbacksForBadRows() {
        for (var s of subjects()) {
            var m = s.model
            for (var row of badRows) {
                var tag = s.name + " row " + row
                var r = attempt(function () { return m.FindItemID ? m.FindItemID(row) : "" })
                verify(r.threw || r.value === "", tag + " FindItemID")
                if (m.FindItemValue) {
                    r = attempt(function () { return m.FindItemValue(row, "idRole") })
                    verify(r.threw || r.value === undefined, tag + " FindItemValue(name)")
                    r = attempt(function () { return m.FindItemValue(row, 257) })
                    verify(r.threw || r.value === undefined, tag + " FindItemValue(role)")
                }
                if (m.FindItem) {
                    r = attempt(function () { return m.FindItem(row) })
                    verify(r.threw || r.value === null, tag + " FindItem")
                }
                r = attempt(function () { return m.get(row) })
                verify(r.threw || Object.keys(r.value).length === 0, tag + " get")
            }
        }
    }

    function test_lookupsAnswerFallbacksForUnknownIdsAndRoles() {
        for (var s of subjects()) {
            var m = s.model
            if (!m.FindItemRow || !m.FindItemValueEx) continue
            for (var v of oddValues) {
                var tag = s.name + " " + String(v)
                // No ID of the tree converts from these values except "3", which is no ID either.
                var r = attempt(function () { return m.FindItemRow(v) })
                verify(r.threw || r.value === -1, tag + " FindItemRow")
                r = attempt(function () { return m.FindItemValue(v, "idRole") })
                verify(r.threw || r.value === undefined, tag + " FindItemValue(id)")
                r = attempt(function () { return m.FindItemValueEx(v, "nameRole", true) })
                verify(r.threw || r.value === undefined, tag + " FindItemValueEx")
                r = attempt(function () { return m.FindItem(String(v) + "?", true) })
                verify(r.threw || r.value === null, tag + " FindItem(id)")
                // A known item, asked for a role that does not exist.
                r = attempt(function () { return m.FindItemValueEx("C", "noSuchRole", true) })
                verify(r.threw || r.value === undefined, tag + " unknown role name")
                r = attempt(function () { return m.FindItemValueEx("C", 9999, v) })
                verify(r.threw || r.value === undefined, tag + " unknown role")
            }
        }
        compare(source.FindItemValueEx("B", "nameRole", true), "b")
    }

    // Non-numbers given for a row arrive as row 0, as QML converts them; the answer is row 0's.
    function test_nonNumericRowsReadRowZero() {
        for (var v of [NaN, Infinity, -Infinity, null, undefined, "x", false]) {
            var r = attempt(function () { return source.FindItemID(v) })
            verify(r.threw || r.value === "A", "FindItemID " + v)
            r = attempt(function () { return source.get(v) })
            verify(r.threw || r.value.idRole === "A", "get " + v)
        }
        compare(source.count, 4)
    }

    function test_removalsRefuseBadRowsAndKeepRows() {
        var before = testHost.dump(source)
        var refused = [[-1, 0], [0, -1], [3, 1], [5, 5], [0, 2147483647], [-2147483648, 2147483647],
                       [1e12, 1e12], [2, NaN], [Infinity, -1]]
        for (var pair of refused) {
            var r = attempt(function () { return source.Remove(pair[0], pair[1]) })
            verify(r.threw || r.value === false, "Remove " + pair)
        }
        for (var v of oddValues) {
            var r2 = attempt(function () { return source.RemoveOne(v) })
            verify(r2.threw || r2.value === false, "RemoveOne " + String(v))
        }
        var r3 = attempt(function () { return source.Remove(["nope", "", null, undefined, 12]) })
        verify(!r3.threw, "Remove(list) " + r3.value)
        for (var pair2 of [[-1, 0], [0, -1], [4, 0], [0, 4], [2147483647, 0], [-2147483648, 1], [1e12, 0]])
            attempt(function () { source.MoveRow(pair2[0], pair2[1]) })
        compare(testHost.dump(source), before)
    }

    function test_sortsIgnoreUnknownRolesAndBadRules() {
        var before = testHost.ids(source)
        var rules = [undefined, null, 5, "rules", {}, { RoleName: "nameRole" }, [null], [5, "x"],
                     [{ RoleName: 5, Ascending: "maybe" }], [{ RoleName: "noSuchRole", Ascending: true }],
                     [[[{}]]], [{ RoleName: { a: [] } }]]
        for (var rule of rules) {
            for (var flag of [undefined, -1, 0, 1, 2, 3, 2147483647, "x", null]) {
                attempt(function () { source.SortByRules(rule, flag) })
                compare(testHost.ids(source).split(" ").sort().join(" "), before, "rows kept " + flag)
            }
            source.SortByRules([])
        }
        for (var role of ["noSuchRole", "", null, undefined, -1, 0, 9999, 2147483647, {}]) {
            var r = attempt(function () { source.SortByRole(role, true) })
            verify(!r.threw || String(r.value).length > 0)
            attempt(function () { source.SortByRoleAndKeep(role, null) })
        }
        source.SortByRules([])
        for (var file of ["", "/no/such/file.qml", null, undefined, "/dev/null", 5])
            attempt(function () { source.SortByRoleByQMLFunction("nameRole", true, file, "cmp") })
        for (var file2 of ["", "/no/such/file.js", null, "/dev/null"])
            attempt(function () { source.SortByRoleByScriptFunction("nameRole", true, file2, undefined) })
        compare(testHost.ids(source).split(" ").sort().join(" "), before)
    }

    function test_viewFactoriesTakeAnyRuleValue() {
        var values = oddValues.concat([[{ Rule: "x" }], [{ Rules: 5 }], [{ RoleName: "nameRole", Rules: [null, 3, {}] }],
                                       [{ RoleName: "nameRole", Rule: 1e300, Value: -1e300 }],
                                       [{ RoleName: "nameRole", Rule: 6, Value: { deep: [[[[["x"]]]]] } }]])
        for (var v of values) {
            var tag = String(v)
            for (var pos of [undefined, -1, 0, 1, 2, 2147483647]) {
                var r = attempt(function () { return source.GetFilterModel(v, v, pos) })
                verify(r.threw || r.value !== null, tag + " GetFilterModel")
                if (!r.threw) {
                    verify(r.value.count >= 0 && r.value.count <= source.count, tag)
                    var u = attempt(function () { return r.value.UpdateFilterRules(v, null) })
                    verify(u.threw || u.value === true, tag + " UpdateFilterRules")
                    u = attempt(function () { return r.value.UpdateUserDefinedFilterRules(v) })
                    verify(u.threw || u.value === true, tag + " UpdateUserDefinedFilterRules")
                }
                r = attempt(function () { return source.GetFilterModelByUserDefinedRules(v, pos) })
                verify(r.threw || r.value.count === source.count, tag + " by user rules")
            }
            // On models that are not filter or group views the updates answer false.
            var plain = attempt(function () { return source.UpdateFilterRules(v, true) })
            verify(plain.threw || plain.value === false, tag + " UpdateFilterRules on a model")
            plain = attempt(function () { return source.UpdateUserDefinedFilterRules(v) })
            verify(plain.threw || plain.value === false, tag + " UpdateUserDefinedFilterRules on a model")
            plain = attempt(function () { return source.UpdateGroupRole(v) })
            verify(plain.threw || plain.value === false, tag + " UpdateGroupRole on a model")
            var g = attempt(function () { return source.GetGroupModel(v, v) })
            verify(g.threw || g.value !== null, tag + " GetGroupModel")
            var gu = attempt(function () { return views[1].UpdateGroupRole(v) })
            verify(!gu.threw ? typeof gu.value === "boolean" : true, tag + " UpdateGroupRole")
        }
        compare(source.count, 4)
    }

    function test_pagingAndWindowClampBadValues() {
        var paging = views[2]
        compare(paging.totalPage, 2)
        for (var p of [-1, 2, 2147483647, -2147483648, NaN, null, undefined, "1", 1.7]) {
            attempt(function () { paging.page = p })
            attempt(function () { paging.setPage(p) })
            verify(paging.page >= 0 && paging.page < paging.totalPage, "page " + p)
            verify(paging.count >= 0 && paging.count <= 2, "count " + p)
        }
        for (var n of [-1, 0, 2147483647, -2147483648, NaN, null, undefined, "x"]) {
            var r = attempt(function () { return source.GetPagingModel(n) })
            verify(r.threw || (r.value.count >= 0 && r.value.count <= source.count), "per page " + n)
        }
        // Rows far beyond the page, read on a later page, must not overflow into another row.
        paging.page = 1
        compare(paging.page, 1)
        for (var big of [2147483647, 2147483646, -2147483648]) {
            var f = attempt(function () { return paging.FindItem(big) })
            verify(f.threw || f.value === null, "paging FindItem " + big)
            f = attempt(function () { return paging.FindItemValue(big, 257) })
            verify(f.threw || f.value === undefined, "paging FindItemValue " + big)
        }
        // A plain model is no paging view: page -1, no pages, writes ignored.
        source.page = 3
        compare(source.page, -1)
        compare(source.totalPage, 0)

        var partial = views[3]
        for (var first of [-5, 99, 2147483647, -2147483648, NaN, null, undefined, "2"]) {
            attempt(function () { source.firstPartialModelRow = first })
            attempt(function () { source.SetFirstPartialModelRow(first) })
            verify(source.firstPartialModelRow >= 0 && source.firstPartialModelRow < source.count, "first " + first)
            verify(partial.count >= 0 && partial.count <= 3, "window " + first)
        }
        for (var size of [-3, 0, 2147483647, -2147483648, NaN, null, undefined]) {
            attempt(function () { source.SetPartialModelCount(size) })
            var w = attempt(function () { return source.GetPartialModel(size) })
            verify(w.threw || w.value === partial, "size " + size)
            verify(partial.count >= 0 && partial.count <= source.count, "window size " + size)
            for (var row of badRows) {
                var g = attempt(function () { return partial.get(row) })
                verify(g.threw || Object.keys(g.value).length === 0, "partial get " + row)
            }
        }
    }

    function test_viewsOfViewsTakeBadInput() {
        for (var s of subjects()) {
            var m = s.model
            if (!m.GetFilterModel) continue
            for (var v of [null, undefined, 5, "x", [{}], [[]]]) {
                attempt(function () { return m.GetFilterModel(v, v, v) })
                attempt(function () { return m.GetGroupModel(v, v) })
                attempt(function () { return m.GetPagingModel(v) })
                attempt(function () { return m.GetPartialModel(v) })
                attempt(function () { m.SortByRules(v, v) })
                attempt(function () { m.clear() })
            }
            compare(m.count, 0, s.name + " cleared")
        }
        compare(source.count, 0)
    }
}
