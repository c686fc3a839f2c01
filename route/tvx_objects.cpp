#include "common/allocation_guard.h"
#include "route/tvx_condition.h"
#include "route/tvx_result.h"

namespace TvxRoute {

namespace {

// The i-th element of a list, null when i is out of range.
template <typename T>
const T* At(const std::vector<T>& list, int i) {
  return (i < 0 || static_cast<std::size_t>(i) >= list.size()) ? nullptr
                                                               : &list[static_cast<std::size_t>(i)];
}

}  // namespace

// The factories answer null when memory runs out.
TVXRouteCondition::Node* TVXRouteCondition::Node::Create() {
  return CatchAllocationFailure(static_cast<Node*>(nullptr), [] { return new Node(); });
}

bool TVXRouteCondition::Node::addRoadPoint(const Point& point) {
  roadPoints_.push_back(point);
  return true;
}

const TVXRouteCondition::Node::Point* TVXRouteCondition::Node::getRoadPoint(int i) const {
  return At(roadPoints_, i);
}

TVXRouteCondition* TVXRouteCondition::Create() {
  return CatchAllocationFailure(static_cast<TVXRouteCondition*>(nullptr),
                                [] { return new TVXRouteCondition(); });
}

TVXRouteCondition::~TVXRouteCondition() {
  for (Node* node : nodes_) node->Release();
}

bool TVXRouteCondition::append(Node* node) {
  // A condition holds no empty node slot: every node is read when legs are built.
  if (node == nullptr) return false;
  nodes_.push_back(node);
  return true;
}

const TVXRouteCondition::Node* TVXRouteCondition::getNode(int i) const {
  const Node* const* slot = At(nodes_, i);
  return slot == nullptr ? nullptr : *slot;
}

TVXRouteResult* TVXRouteResult::Create() {
  return CatchAllocationFailure(static_cast<TVXRouteResult*>(nullptr),
                                [] { return new TVXRouteResult(); });
}

TVXRouteResult::~TVXRouteResult() {
  for (Link* link : tables.links) delete link;
  for (Node* node : tables.nodes) delete node;
}

const TVXRouteResult::Link* TVXRouteResult::getLink(int i) const {
  Link* const* slot = At(tables.links, i);
  return slot == nullptr ? nullptr : *slot;
}

const TVXRouteResult::Node* TVXRouteResult::getNode(int i) const {
  Node* const* slot = At(tables.nodes, i);
  return slot == nullptr ? nullptr : *slot;
}

const char* TVXRouteResult::getRoadName(int i) const {
  const std::string* name = At(tables.roadNames, i);
  return name == nullptr ? nullptr : name->c_str();
}

}  // namespace TvxRoute
