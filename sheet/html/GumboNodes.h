#pragma once

#include <gumbo.h>

// Small questions about gumbo's nodes that the walks through a parsed page ask.
namespace GumboNodes {

inline bool isHtml(const GumboNode *node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

inline bool isRowGroup(const GumboNode *node)
{
    return isHtml(node, GUMBO_TAG_TBODY) || isHtml(node, GUMBO_TAG_THEAD) ||
           isHtml(node, GUMBO_TAG_TFOOT);
}

inline bool isCell(const GumboNode *node)
{
    return isHtml(node, GUMBO_TAG_TD) || isHtml(node, GUMBO_TAG_TH);
}

// The children of a document, an element or a template; none for text and comments.
inline const GumboVector *childrenOf(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
        return &node->v.element.children;
    return nullptr;
}

inline const GumboNode *childAt(const GumboVector &children, unsigned i)
{
    return static_cast<const GumboNode *>(children.data[i]);
}

} // namespace GumboNodes
