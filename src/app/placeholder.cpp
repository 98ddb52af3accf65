namespace xcpy {}
