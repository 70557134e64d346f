#include "graph/graph_object.h"

#include "graph/view.h"

namespace osc {

TVelaGraphObject::TVelaGraphObject(TVelaGraph* graph) : graph_(graph) {
  if (graph_ != nullptr) graph_->ObjectCreated(this);
}

TVelaGraphObject::~TVelaGraphObject() {
  if (graph_ != nullptr) graph_->ObjectDestroyed(this);
}

}  // namespace osc
