FEAT_LOG;"quoted ; piece";"open quote;rest
secondthird
