// A compare function for SortByRoleByScriptFunction: answers whether `a` sorts before `b`.
// Shorter names come first; names of equal length in alphabetical order.
function shorterName(a, b) {
    var x = String(a)
    var y = String(b)
    if (x.length !== y.length)
        return x.length < y.length
    return x < y
}
