# (filled in by the component's owner)
