// The accessibility walk over a small in-test COM tree, and the choice of
// the page address.
#include "core/browser_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// A node of the mock tree. The test owns one reference of each node; the
// walk must give back every reference it takes.
class MockNode : public IAccessible {
public:
    std::optional<long> role = 42;       // none: the role is not a 32-bit integer
    std::optional<std::wstring> value;   // none: get_accValue fails
    std::wstring name;
    std::vector<MockNode*> children;     // null: a simple element without an object
    std::optional<long> claimed_count;   // a child count other than children.size()
    bool count_fails = false;
    bool not_accessible = false;         // the child's IDispatch does not give IAccessible
    long refs = 1;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || (iid == IID_IAccessible && !not_accessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (count_fails) return E_FAIL;
        *count = claimed_count ? *claimed_count : static_cast<long>(children.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** out) override {
        *out = nullptr;
        if (id.vt != VT_I4 || id.lVal < 1 || id.lVal > static_cast<long>(children.size())) return E_INVALIDARG;
        MockNode* child = children[static_cast<size_t>(id.lVal - 1)];
        if (!child) return S_FALSE;
        child->AddRef();
        *out = static_cast<IDispatch*>(child);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* out) override {
        *out = nullptr;
        if (id.vt != VT_I4 || id.lVal != CHILDID_SELF) return E_INVALIDARG;
        *out = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* out) override {
        *out = nullptr;
        if (id.vt != VT_I4 || id.lVal != CHILDID_SELF) return E_INVALIDARG;
        if (!value) return E_NOTIMPL;
        *out = SysAllocStringLen(value->data(), static_cast<UINT>(value->size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* out) override {
        VariantInit(out);
        if (id.vt != VT_I4 || id.lVal != CHILDID_SELF) return E_INVALIDARG;
        if (role) {
            out->vt = VT_I4;
            out->lVal = *role;
        } else {
            out->vt = VT_BSTR;
            out->bstrVal = SysAllocString(L"custom role");
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR*, VARIANT, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(long*, long*, long*, long*, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accHitTest(long, long, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }
};

// Owns the nodes of one tree.
class Tree {
public:
    MockNode* node(std::optional<std::wstring> value = std::nullopt, std::optional<long> role = 42) {
        nodes_.push_back(std::make_unique<MockNode>());
        nodes_.back()->value = std::move(value);
        nodes_.back()->role = role;
        return nodes_.back().get();
    }
    MockNode* child(MockNode* parent, std::optional<std::wstring> value = std::nullopt, std::optional<long> role = 42) {
        MockNode* n = node(std::move(value), role);
        parent->children.push_back(n);
        return n;
    }
    // Every reference the walk took was given back.
    bool balanced() const {
        for (const auto& n : nodes_)
            if (n->refs != 1) return false;
        return true;
    }

private:
    std::vector<std::unique_ptr<MockNode>> nodes_;
};

std::vector<std::wstring> values(const std::vector<AccessibleElement>& elements) {
    std::vector<std::wstring> out;
    for (const auto& e : elements) out.push_back(e.value);
    return out;
}

}  // namespace

TEST(AccessibleWalk, DepthFirstParentsFirstEmptyValuesSkipped) {
    Tree t;
    MockNode* root = t.node(L"root");
    MockNode* a = t.child(root, L"a", 10);
    t.child(a, L"a1");
    t.child(a, L"");                // empty: not collected
    t.child(a, std::nullopt);       // fails: not collected
    root->children.push_back(nullptr);  // a simple element
    MockNode* b = t.child(root, L"b", std::nullopt);  // role not an integer
    t.child(b, L"b1", 30);
    std::vector<AccessibleElement> out;
    collect_accessible_elements(root, 0, out);
    EXPECT_EQ(values(out), (std::vector<std::wstring>{L"root", L"a", L"a1", L"b", L"b1"}));
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[1].role, 10);
    EXPECT_EQ(out[3].role, -1);
    EXPECT_EQ(out[4].role, 30);
    EXPECT_TRUE(t.balanced());
}

TEST(AccessibleWalk, FifteenLevelsAreVisited) {
    Tree t;
    MockNode* n = t.node(L"d0");
    MockNode* root = n;
    for (int d = 1; d < 20; ++d) n = t.child(n, L"d" + std::to_wstring(d));
    std::vector<AccessibleElement> out;
    collect_accessible_elements(root, 0, out);
    ASSERT_EQ(out.size(), 15u);
    EXPECT_EQ(out.back().value, L"d14");
    EXPECT_TRUE(t.balanced());
    out.clear();
    collect_accessible_elements(root, 14, out);
    EXPECT_EQ(values(out), (std::vector<std::wstring>{L"d0"}));
    collect_accessible_elements(nullptr, 0, out);
    EXPECT_EQ(out.size(), 1u);
}

TEST(AccessibleWalk, ChildCountsOutsideOneTo499AreNotEntered) {
    struct Case {
        long children;
        std::optional<long> claimed;
        bool fails;
        size_t expected;
    };
    const Case cases[] = {
        {499, std::nullopt, false, 500}, {500, std::nullopt, false, 1}, {3, 0, false, 1},
        {3, -2, false, 1},               {3, std::nullopt, true, 1},   {0, std::nullopt, false, 1},
    };
    for (const Case& c : cases) {
        Tree t;
        MockNode* root = t.node(L"root");
        for (long i = 0; i < c.children; ++i) t.child(root, L"c");
        root->claimed_count = c.claimed;
        root->count_fails = c.fails;
        std::vector<AccessibleElement> out;
        collect_accessible_elements(root, 0, out);
        EXPECT_EQ(out.size(), c.expected) << c.children;
        EXPECT_TRUE(t.balanced());
    }
}

TEST(AccessibleWalk, StopsAfterThreeThousandValues) {
    Tree t;
    MockNode* root = t.node(L"root");
    for (int i = 0; i < 499; ++i) {
        MockNode* c = t.child(root, L"c");
        for (int k = 0; k < 7; ++k) t.child(c, L"g");
    }
    std::vector<AccessibleElement> out;
    collect_accessible_elements(root, 0, out);
    EXPECT_EQ(out.size(), 3001u);
    EXPECT_TRUE(t.balanced());
}

TEST(AccessibleWalk, ChildrenWithoutTheInterfaceAreSkippedAndReleased) {
    Tree t;
    MockNode* root = t.node(L"root");
    MockNode* odd = t.child(root, L"odd");
    odd->not_accessible = true;
    t.child(odd, L"below odd");
    t.child(root, L"next");
    std::vector<AccessibleElement> out;
    collect_accessible_elements(root, 0, out);
    EXPECT_EQ(values(out), (std::vector<std::wstring>{L"root", L"next"}));
    EXPECT_TRUE(t.balanced());
}

TEST(PageAddress, LinksAndInternalPagesAreSkipped) {
    // The visit order: a text with blanks, a link, a host with a path.
    const std::vector<AccessibleElement> page = {
        {42, L"Some text with blanks"}, {30, L"https://link.example/"}, {42, L"example.com/path?q=1"}};
    EXPECT_EQ(pick_address_url(page), L"https://example.com/path?q=1");

    struct Case {
        std::vector<AccessibleElement> elements;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {{{42, L"chrome://settings"}, {42, L"about:blank"}, {42, L"http://plain.example/x"}}, L"http://plain.example/x"},
        {{{42, L"edge://flags"}, {42, L"view-source:http://a.b"}, {42, L"filesystem:x.y"}, {42, L"internal:a.b"}}, L""},
        {{{-1, L"https://first.example"}, {42, L"second.example"}}, L"https://first.example"},
        {{{42, L"1.2.3.4/x"}, {42, L"no dot here"}, {42, L"tab\there.x"}, {42, L"nodot"}}, L""},
        {{}, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(pick_address_url(c.elements), c.expected);
}

TEST(PageInfo, TitleFromTheRootNameWithinItsLimit) {
    Tree t;
    MockNode* root = t.node();
    root->name = L"Example page - Google Chrome";
    MockNode* bar = t.child(root);
    t.child(bar, L"example.org/docs");
    std::wstring title, url;
    read_page_info(root, title, url);
    EXPECT_EQ(title, L"Example page - Google Chrome");
    EXPECT_EQ(url, L"https://example.org/docs");
    EXPECT_TRUE(t.balanced());

    root->name = std::wstring(511, L'n');
    read_page_info(root, title, url);
    EXPECT_EQ(title.size(), 511u);
    root->name = std::wstring(600, L'n');
    read_page_info(root, title, url);
    EXPECT_EQ(title, L"");
    EXPECT_EQ(url, L"https://example.org/docs");
    root->name.clear();
    read_page_info(root, title, url);
    EXPECT_EQ(title, L"");
    read_page_info(nullptr, title, url);
    EXPECT_EQ(url, L"");
    EXPECT_TRUE(t.balanced());
}
