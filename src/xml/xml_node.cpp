#include "xml/xml_node.h"

#include <cstring>

#include "xml/xml_node_body.h"
#include "xml/xml_tables.h"

namespace {

const XmlNodeRef kEmptyNode;

void addReference(XmlNodeBody* body) {
    if (body != nullptr) ++body->refCount;
}

// Subtracts one reference and destroys every body that drops to zero. Works
// with an explicit list instead of recursion, so that the depth of a tree is
// bounded by memory and not by the thread's stack.
void release(XmlNodeBody* body) {
    if (body == nullptr || --body->refCount > 0) return;
    std::vector<XmlNodeBody*> doomed{body};
    while (!doomed.empty()) {
        XmlNodeBody* dying = doomed.back();
        doomed.pop_back();
        for (XmlNodeRef& child : dying->children) {
            XmlNodeBody* childBody = XmlNodeAccess::detach(child);
            childBody->parent = nullptr;
            if (--childBody->refCount == 0) doomed.push_back(childBody);
        }
        delete dying;
    }
}

}  // namespace

XmlString xmlNewString(std::size_t length) {
    XmlString text(static_cast<char*>(std::malloc(length + 1)));
    if (text != nullptr) text.get()[length] = '\0';
    return text;
}

XmlString xmlCopyString(const char* text, std::size_t length) {
    if (text == nullptr) return nullptr;
    XmlString copy = xmlNewString(length);
    if (copy != nullptr) std::memcpy(copy.get(), text, length);
    return copy;
}

XmlString xmlCopyString(const char* text) {
    return text == nullptr ? nullptr : xmlCopyString(text, std::strlen(text));
}

XmlNodeRef::XmlNodeRef(const XmlNodeRef& other) noexcept : body_(other.body_) {
    addReference(body_);
}

XmlNodeRef::XmlNodeRef(XmlNodeRef&& other) noexcept : body_(other.body_) { other.body_ = nullptr; }

XmlNodeRef& XmlNodeRef::operator=(const XmlNodeRef& other) noexcept {
    if (this != &other) {
        // Share first: `other` may live inside the tree that is released here.
        XmlNodeBody* old = body_;
        body_ = other.body_;
        addReference(body_);
        release(old);
    }
    return *this;
}

XmlNodeRef& XmlNodeRef::operator=(XmlNodeRef&& other) noexcept {
    if (this != &other) {
        XmlNodeBody* old = body_;
        body_ = other.body_;
        other.body_ = nullptr;
        release(old);
    }
    return *this;
}

XmlNodeRef::~XmlNodeRef() { release(body_); }

const XmlNodeRef& XmlNodeRef::emptyNode() { return kEmptyNode; }

const char* XmlNodeRef::name() const { return body_ != nullptr ? body_->name.get() : nullptr; }

bool XmlNodeRef::isDeclaration() const { return body_ != nullptr && body_->isDeclaration; }

int XmlNodeRef::childCount() const { return body_ != nullptr ? body_->childCount() : 0; }

int XmlNodeRef::itemCount() const {
    if (body_ == nullptr) return 0;
    return body_->childCount() + body_->textCount() + body_->blockCount() + body_->attributeCount();
}

XmlNodeRef XmlNodeRef::childAt(int index) const {
    if (body_ == nullptr || index < 0 || index >= body_->childCount()) return kEmptyNode;
    return body_->children[static_cast<std::size_t>(index)];
}

XmlNodeRef XmlNodeRef::findChild(const char* name) const {
    if (body_ == nullptr || name == nullptr) return kEmptyNode;
    for (const XmlNodeRef& child : body_->children) {
        const char* childName = child.name();
        if (childName != nullptr && xmlEqualsIgnoreCase(childName, name)) return child;
    }
    return kEmptyNode;
}

const char* XmlNodeRef::attributeValue(const char* name, int* cursor) const {
    if (body_ == nullptr || name == nullptr) return nullptr;
    const int start = (cursor != nullptr && *cursor > 0) ? *cursor : 0;
    for (int i = start; i < body_->attributeCount(); ++i) {
        const XmlAttr& attribute = body_->attributes[static_cast<std::size_t>(i)];
        if (xmlEqualsIgnoreCase(attribute.name.get(), name)) {
            if (cursor != nullptr) *cursor = i + 1;
            return attribute.value.get();
        }
    }
    return nullptr;
}

void XmlNodeRef::setAttribute(const char* name, const char* value) {
    if (body_ == nullptr || name == nullptr) return;
    XmlString copy = xmlCopyString(value);
    for (XmlAttr& attribute : body_->attributes) {
        if (xmlEqualsIgnoreCase(attribute.name.get(), name)) {
            attribute.value = std::move(copy);
            return;
        }
    }
    // Geometric growth: a node that receives many attributes one by one
    // stays linear in their number.
    body_->attributes.push_back(XmlAttr{xmlCopyString(name), std::move(copy)});
}

XmlNodeRef makeRootNode(const char* name) {
    auto* body = new XmlNodeBody;
    body->name = xmlCopyString(name);
    return XmlNodeAccess::adopt(body);
}
